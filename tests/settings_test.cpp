// Reading and writing the settings file through the profile operations.
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

TEST_F(SettingsTest, AbsentFileSectionOrKeyReadsAsMissingValue) {
    EXPECT_EQ(Read(u"Hide"), u"!!");
    WriteSettings("[Other]\r\nHide=True\r\n");
    EXPECT_EQ(Read(u"Hide"), u"!!");
    WriteSettings("[Shutdown]\r\nOption=S\r\n");
    EXPECT_EQ(Read(u"Hide"), u"!!");
}

struct HideCase {
    const char* line;
    bool hide;
};

const HideCase kHideCases[] = {
    {"Hide=true", true},   {"Hide=TRUE", true},   {"Hide=True", true}, {"Hide =  True  ", true},
    {"hide=tRUE", true},   {"Hide=1", false},     {"Hide=yes", false}, {"Hide=", false},
    {"Hide=True!", false}, {"Hide=T rue", false}, {"X=True", false},
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

TEST_F(SettingsTest, CutCountsBytesOfTheAnsiCodePage) {
    // 0xE9 is one byte in the ANSI code page: the cut falls after 254 characters.
    WriteSettings("[Shutdown]\r\nOption=" + std::string(300, '\xE9') + "\r\n");
    EXPECT_EQ(Read(u"Option"), std::u16string(254, u'\u00e9'));
}

TEST_F(SettingsTest, WriteCreatesTheFileAndReadsBack) {
    EXPECT_TRUE(preselector::WriteSetting(desktop, kPath, u"Shutdown", u"Hide", u"False"));
    EXPECT_TRUE(preselector::WriteSetting(desktop, kPath, u"Shutdown", u"Option", u"S"));
    EXPECT_EQ(Settings(), "[Shutdown]\r\nHide=False\r\nOption=S\r\n");
    EXPECT_EQ(Read(u"Option"), u"S");
}

TEST(SettingsPath, FolderThenFileNameWithNothingNormalised) {
    EXPECT_EQ(preselector::SettingsPathIn(u"C:\\TOOLS"), u"C:\\TOOLS\\QUINTARO.INI");
    EXPECT_EQ(preselector::SettingsPathIn(u"C:\\"), u"C:\\\\QUINTARO.INI");
}

}  // namespace
