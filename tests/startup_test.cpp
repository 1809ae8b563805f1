// How start-up settles the key and the hide flag from the command line and the settings
// file, and how it recovers from an invalid key.
#include <optional>

#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using preselector::Preselector;

struct StartCase {
    const char* name;
    std::u16string commandLine;
    std::optional<std::string> settings;  // the file's bytes; nullopt = no file
    std::u16string key;
    bool hide;
};

// Odd command lines, and each with the settings file behind it, are bad_input_test's.
const StartCase kStartCases[] = {
    {"key and flag from the command line, file ignored", u"s,true",
     "[Shutdown]\r\nHide=False\r\nOption=Y\r\n", u"S", true},
    {"key from the command line, flag from the file", u"R", "[Shutdown]\r\nHide=True\r\n", u"R",
     true},
    {"no file: hide reads as false", u"R", std::nullopt, u"R", false},
    {"comma with nothing after it reads the file", u"R,", "[Shutdown]\r\nHide=true\r\n", u"R",
     true},
    {"comma with spaces after it reads the file", u"R,   ", "[Shutdown]\r\nHide=TRUE\r\n", u"R",
     true},
    {"any other flag word shows the window", u"R,no", "[Shutdown]\r\nHide=True\r\n", u"R", false},
    {"FALSE overrides the file", u"S,false", "[Shutdown]\r\nHide=True\r\n", u"S", false},
    {"only the first character is the key", u"ST,TRUE", std::nullopt, u"S", true},
    {"flag in any case", u"q,TrUe", std::nullopt, u"Q", true},
    {"flag trimmed of spaces", u"q,  true  ", std::nullopt, u"Q", true},
    {"spaces around the command line are not part of it", u"  r  ", std::nullopt, u"R", false},
    {"a digit is a key like any other", u"7", std::nullopt, u"7", false},
    {"no command line: both from the file", u"", "[shutdown]\r\nhide = True \r\noption = Y\r\n",
     u"Y", true},
};

class StartUpTest : public SimTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartUpTest, SettlesKeyAndHideFlag) {
    const auto& c = GetParam();
    desktop.SetCommandLine(c.commandLine);
    if (c.settings) WriteSettings(*c.settings);
    const auto before = c.settings ? Settings() : "";

    Preselector app(desktop);
    desktop.Run([&] { app.StartUp(); });

    EXPECT_EQ(app.g.ShortcutKey, c.key);
    EXPECT_EQ(app.g.HideWindow, c.hide);
    EXPECT_EQ(app.g.CommandText, common::TrimSpaces(c.commandLine));
    EXPECT_EQ(app.g.SettingsPath, u"C:\\TOOLS\\QUINTARO.INI");
    EXPECT_TRUE(desktop.Messages().empty());
    // Start-up only reads: the file is never created or touched.
    EXPECT_EQ(std::filesystem::exists(SettingsFile()), c.settings.has_value());
    if (c.settings) {
        EXPECT_EQ(Settings(), before);
    }
    // It went on to the main window, and so to the watcher.
    EXPECT_TRUE(app.g.WatcherRunning);
}

INSTANTIATE_TEST_SUITE_P(CommandLineAndFile, StartUpTest, ::testing::ValuesIn(kStartCases),
                         [](const auto& tc) { return CaseName(tc.param.name); });

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
