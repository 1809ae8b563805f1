// Each form made in this process by the toolkit its program links, from the program's own
// layout: here the controls' fonts can be asked for (form_check.h), and Form1, which no
// run of the launcher shows, is seen at all. The programs' own windows are held against
// the same layouts, fonts aside, by the tests that run them.
#include <gtest/gtest.h>

#include "e2e/driver/form_check.h"
#include "e2e/driver/own_form.h"
#include "launcher/form1.h"
#include "preselector/frm_dormello.h"
#include "preselector/frm_dormellos.h"

namespace e2e {
namespace {

using LayoutOf = const desktop::FormLayout& (*)();

class FormMadeHere : public testing::TestWithParam<LayoutOf> {};

TEST_P(FormMadeHere, MatchesItsLayoutFontsIncluded) {
    const desktop::FormLayout& layout = GetParam()();
    const OwnForm form(layout);
    const auto differences = LayoutDifferences(form.Handle(), layout, ScreenDpi());
    EXPECT_TRUE(differences.empty()) << Lines(differences);
}

INSTANTIATE_TEST_SUITE_P(Layouts, FormMadeHere,
                         testing::Values(launcher::Form1Layout, preselector::frmDormelloLayout,
                                         preselector::frmDormellosLayout),
                         [](const testing::TestParamInfo<LayoutOf>& tested) {
                             return tested.param().name;
                         });

}  // namespace
}  // namespace e2e
