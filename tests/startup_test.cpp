// How start-up recovers from an invalid key. How it settles the key and the hide flag from
// the command line and the settings file is bad_input_test's.
#include <optional>

#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using preselector::Preselector;

// Start-up without a usable key in the file: the message, then the options dialog.
struct InvalidCase {
    const char* name;
    std::optional<std::string> settings;
};

const InvalidCase kInvalidCases[] = {
    {"no file", std::nullopt},
    {"no section", "[Other]\r\nOption=S\r\n"},
    {"empty value", "[Shutdown]\r\nOption=\r\n"},
    {"two characters", "[Shutdown]\r\nOption=ab\r\n"},
    {"spaces only", "[Shutdown]\r\nOption=   \r\n"},
};

class InvalidKeyTest : public SimTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidKeyTest, CancelBeepsAndEndsWithoutWriting) {
    if (GetParam().settings) WriteSettings(*GetParam().settings);
    desktop
        .Then(Check([](auto& d) {
            // The box comes before the dialog: nothing of the program is on screen yet.
            EXPECT_EQ(d.FormByName("frmDormellos"), nullptr);
        }))
        .Then(sim::Answer(desktop::kAnswerOk))
        .Then(Check([](auto& d) { ASSERT_NE(d.FormByName("frmDormellos"), nullptr); }))
        .Then(sim::Click("frmDormellos", "cmdCancel"));

    Preselector app(desktop);
    EXPECT_TRUE(desktop.Run([&] { app.StartUp(); }));

    ASSERT_EQ(desktop.Messages().size(), 1u);
    const auto& box = desktop.Messages()[0];
    EXPECT_EQ(box.prompt, u"Invalid Shutdown Option in C:\\TOOLS\\QUINTARO.INI");
    EXPECT_EQ(box.style, desktop::kStyleCriticalOk);
    EXPECT_EQ(box.title, u"Tobrin's Utilities");
    EXPECT_EQ(desktop.Beeps(), 1);
    EXPECT_FALSE(app.g.WatcherRunning);  // the main window never came
    EXPECT_EQ(std::filesystem::exists(SettingsFile()), GetParam().settings.has_value());
}

INSTANTIATE_TEST_SUITE_P(SettingsFile, InvalidKeyTest, ::testing::ValuesIn(kInvalidCases),
                         [](const auto& tc) { return CaseName(tc.param.name); });

class RecoveryTest : public SimTest {
  protected:
    // The invalid-key box answered, the dialog filled in and saved.
    void SaveInRecovery(std::u16string typed) {
        desktop.Then(sim::Answer(desktop::kAnswerOk))
            .Then(Check([](auto& d) {
                // Loaded with the (empty) key: the design-time "?" is gone.
                EXPECT_EQ(d.FormByName("frmDormellos")->Text("txtShutDownOption"), u"");
            }))
            .Then(sim::TypeText("frmDormellos", "txtShutDownOption", std::move(typed)))
            .Then(sim::Click("frmDormellos", "cmdSave"));
    }
};

TEST_F(RecoveryTest, SavedKeyIsUsedAndWritten) {
    SaveInRecovery(u"r");
    Preselector app(desktop);
    EXPECT_FALSE(desktop.Run([&] { app.StartUp(); }));

    EXPECT_EQ(app.g.ShortcutKey, u"R");
    EXPECT_FALSE(app.g.HideWindow);
    EXPECT_TRUE(app.g.WatcherRunning);
    EXPECT_EQ(Settings(), "[Shutdown]\r\nHide=False\r\nOption=R\r\n");
    EXPECT_EQ(desktop.Beeps(), 0);
}

TEST_F(RecoveryTest, EmptyBoxSavedBeepsAndEnds) {
    SaveInRecovery(u"");
    Preselector app(desktop);
    EXPECT_TRUE(desktop.Run([&] { app.StartUp(); }));

    EXPECT_EQ(desktop.Beeps(), 1);
    EXPECT_FALSE(app.g.WatcherRunning);
    // What was saved stays saved, and reads as invalid at the next start.
    EXPECT_EQ(Settings(), "[Shutdown]\r\nHide=False\r\nOption=\r\n");
}

TEST_F(RecoveryTest, FolderReportedWithTrailingSeparatorDoublesIt) {
    desktop.SetCurrentDirectory(u"C:\\TOOLS\\");
    desktop.Then(sim::Answer(desktop::kAnswerOk)).Then(sim::PressEscape("frmDormellos"));
    Preselector app(desktop);
    desktop.Run([&] { app.StartUp(); });
    ASSERT_EQ(desktop.Messages().size(), 1u);
    EXPECT_EQ(desktop.Messages()[0].prompt,
              u"Invalid Shutdown Option in C:\\TOOLS\\\\QUINTARO.INI");
}

}  // namespace
