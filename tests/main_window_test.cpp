// The main window: what it shows, and every way it can be closed. Minimise and Hide are
// dormello_main_window_test's, under Wine.
#include "preselector/frm_dormello.h"
#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using preselector::Preselector;

class MainWindowTest : public SimTest {
  protected:
    const desktop::FormWindow& Main() const { return *desktop.FormByName("frmDormello"); }
    // Runs the preselector; true when it ended itself rather than running out of script.
    bool RunPreselector() {
        return desktop.Run([&] { app.StartUp(); });
    }

    Preselector app{desktop};
};

struct StatusCase {
    const char* name;
    std::u16string commandLine;
    std::optional<std::string> settings;
    std::u16string status;
};

const StatusCase kStatusCases[] = {
    {"key from the file", u"", "[Shutdown]\r\nOption=S\r\n",
     u"Shutdown Option set to: S\r\nfrom C:\\TOOLS\\QUINTARO.INI"},
    {"command line as typed after trimming", u" s,false ", std::nullopt,
     u"Shutdown Option set to: S\r\nfrom Command Line 's,false'"},
};

class StatusTextTest : public MainWindowTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTextTest, ShownWithCaptionAndCredits) {
    const auto& c = GetParam();
    desktop.SetCommandLine(c.commandLine);
    if (c.settings) WriteSettings(*c.settings);
    RunPreselector();
    EXPECT_EQ(app.g.StatusText, c.status);
    EXPECT_EQ(Main().Text("lblDormello"), c.status);
    EXPECT_EQ(Main().Caption(), u"Dormello");
    EXPECT_EQ(Main().Text("lblCredits"), u"Tobrin's Utilities\r\n\r\nQUINTARO");
    EXPECT_TRUE(Main().Visible());
}

INSTANTIATE_TEST_SUITE_P(Sources, StatusTextTest, ::testing::ValuesIn(kStatusCases),
                         [](const auto& tc) { return CaseName(tc.param.name); });

TEST_F(MainWindowTest, HiddenFromTheStartItIsNeverShownNorClickedYetTheDialogIsAnswered) {
    desktop.SetCommandLine(u"S,TRUE");
    desktop.Then(sim::Click("frmDormello", "cmdExit"))
        .Then(sim::OpenWindow(u"Shut Down Windows"))
        .Then(Check([](auto& d) {
            EXPECT_FALSE(d.FormByName("frmDormello")->Visible());
            EXPECT_EQ(d.FormByName("frmDormello")->Caption(), u"");  // hidden before it was set
        }))
        .Then(sim::EndSession());
    EXPECT_TRUE(RunPreselector());
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%S");
    EXPECT_TRUE(desktop.Messages().empty());
}

// Every way out of the main window: who is asked, and whether the program ends.
struct CloseCase {
    const char* name;
    std::vector<sim::Step> steps;
    bool ends;
    std::size_t questions;
};

std::vector<CloseCase> CloseCases() {
    using sim::Answer;
    return {
        {"close box answered No stays",
         {sim::CloseBox("frmDormello"), Answer(desktop::kAnswerNo)},
         false,
         1},
        {"close box answered Yes ends",
         {sim::CloseBox("frmDormello"), Answer(desktop::kAnswerYes)},
         true,
         1},
        {"Exit answered No stays",
         {sim::Click("frmDormello", "cmdExit"), Answer(desktop::kAnswerNo)},
         false,
         1},
        {"Exit answered Yes ends",
         {sim::Click("frmDormello", "cmdExit"), Answer(desktop::kAnswerYes)},
         true,
         1},
        {"task list ends without asking", {sim::TaskListClose("frmDormello")}, true, 0},
        {"session end ends without asking", {sim::EndSession()}, true, 0},
        {"session end while the exit question is up",
         {sim::Click("frmDormello", "cmdExit"), sim::EndSession()},
         true,
         1},
        {"session end while the options dialog is up",
         {sim::Click("frmDormello", "cmdChangeOptions"), sim::EndSession()},
         true,
         0},
        {"task list while the options dialog is up",
         {sim::Click("frmDormello", "cmdChangeOptions"), sim::TaskListClose("frmDormello")},
         true,
         0},
    };
}

class CloseTest : public MainWindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, AsksOnlyTheUser) {
    desktop.SetCommandLine(u"R");
    for (const auto& step : GetParam().steps) desktop.Then(step);
    // Still running? Then it still answers the dialog.
    desktop.Then(sim::OpenWindow(u"Shut Down Windows"));
    EXPECT_EQ(RunPreselector(), GetParam().ends);
    EXPECT_EQ(desktop.Messages().size(), GetParam().questions);
    for (const auto& m : desktop.Messages()) {
        EXPECT_EQ(m.prompt,
                  u"This will close Dormello and revert to the Windows default\r\n\r\n"
                  u"Are you sure you want to Exit?");
        EXPECT_EQ(m.style, desktop::kStyleQuestionYesNo);
        EXPECT_EQ(m.title, u"Tobrin's Utilities");
    }
    if (!GetParam().ends) {
        EXPECT_TRUE(Main().Visible());
        EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%R");
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseTest, ::testing::ValuesIn(CloseCases()),
                         [](const auto& tc) { return CaseName(tc.param.name); });

}  // namespace
