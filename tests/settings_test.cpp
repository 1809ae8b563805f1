// Reading the settings file: what reads as true, and the buffer the preselector reads into.
#include "preselector/settings.h"

#include "sim_fixture.h"

namespace {

using namespace testing_support;
using preselector::ReadsAsTrue;
using preselector::ReadSetting;

constexpr std::u16string_view kPath = u"C:\\TOOLS\\QUINTARO.INI";

class SettingsTest : public SimTest {
  protected:
    std::u16string Read(std::u16string_view key) {
        return ReadSetting(desktop, kPath, u"Shutdown", key);
    }
};

struct HideCase {
    const char* line;
    bool hide;
};

const HideCase kHideCases[] = {
    {"Hide=true", true},   {"Hide=TRUE", true}, {"Hide=True", true}, {"hide=tRUE", true},
    {"Hide=1", false},     {"Hide=yes", false}, {"Hide=", false},    {"Hide=True!", false},
    {"Hide=T rue", false}, {"X=True", false},
};

TEST_F(SettingsTest, HideReadsAsTrueOnlyForTrueInAnyCase) {
    for (const auto& c : kHideCases) {
        WriteSettings(std::string("[Shutdown]\r\n") + c.line + "\r\n");
        EXPECT_EQ(ReadsAsTrue(desktop, Read(u"Hide")), c.hide) << c.line;
    }
}

TEST_F(SettingsTest, LongValueIsCutTo254BytesAndAShorterReadAfterItIsWhole) {
    WriteSettings("[Shutdown]\r\nOption=" + std::string(300, 'x') + "\r\nHide=ab\r\n");
    EXPECT_EQ(Read(u"Option"), std::u16string(254, u'x'));
    EXPECT_EQ(Read(u"Hide"), u"ab");
}

}  // namespace
