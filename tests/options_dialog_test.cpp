// The options dialog opened from the main window: what typing shows, what Save writes,
// and that nothing but Save touches the file. How it opens over the main window, and Hide
// Icon hiding it at once, are dormello_options_test's, under Wine.
#include <sys/stat.h>

#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using preselector::Preselector;

class OptionsDialogTest : public SimTest {
  protected:
    OptionsDialogTest() {
        WriteSettings(kOriginal);
        desktop.Then(sim::Click("frmDormello", "cmdChangeOptions"));
    }
    const desktop::FormWindow* Dialog(sim::SimulatedDesktop& d) const {
        return d.FormByName("frmDormellos");
    }
    void RunPreselector() {
        EXPECT_FALSE(desktop.Run([&] { app.StartUp(); }));
        EXPECT_TRUE(desktop.ScriptDone());
    }
    std::u16string Status() const { return desktop.FormByName("frmDormello")->Text("lblDormello"); }

    // Other sections, comments and keys a user keeps in the file.
    static constexpr const char* kOriginal =
        "; my tools\r\n[Other]\r\nColour=Blue\r\n\r\n[Shutdown]\r\nOption=S\r\nHide=False\r\n"
        "Note=keep me\r\n[Last]\r\nX=1\r\n";
    Preselector app{desktop};
};

TEST_F(OptionsDialogTest, TypingIsUpperCasedAndLimitedToOneCharacter) {
    desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"rx"))
        .Then(Check([&](auto& d) { EXPECT_EQ(Dialog(d)->Text("txtShutDownOption"), u"R"); }))
        .Then(sim::TypeText("frmDormellos", "txtShutDownOption", u"q"))
        .Then(Check([&](auto& d) { EXPECT_EQ(Dialog(d)->Text("txtShutDownOption"), u"R"); }))
        .Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"\u00e9"))
        .Then(Check([&](auto& d) { EXPECT_EQ(Dialog(d)->Text("txtShutDownOption"), u"\u00c9"); }))
        // The file cannot hold these (the f with hook's capital is outside the code page):
        // refused, as a second character is, so Save writes what the box shows.
        .Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"\u4e2d"))
        .Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"\u0192"))
        .Then(Check([&](auto& d) { EXPECT_EQ(Dialog(d)->Text("txtShutDownOption"), u"\u00c9"); }))
        .Then(sim::PressEnter("frmDormellos"));
    RunPreselector();
    EXPECT_NE(Settings().find("Option=\xc9\r\n"), std::string::npos);
}

TEST_F(OptionsDialogTest, ACommandLineKeyTheFileCannotHoldIsNotOfferedForSaving) {
    desktop.SetCommandLine(u"\u4e2d");
    desktop.Then(Check([&](auto& d) { EXPECT_EQ(Dialog(d)->Text("txtShutDownOption"), u""); }))
        .Then(sim::PressEscape("frmDormellos"))
        .Then(sim::OpenWindow(u"Shut Down Windows"));
    RunPreselector();
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%\u4e2d");  // still its key
}

// Every way to leave without saving leaves the file byte for byte as it was.
class LeaveWithoutSavingTest : public OptionsDialogTest,
                               public ::testing::WithParamInterface<int> {};

TEST_P(LeaveWithoutSavingTest, ChangesNothing) {
    desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"x"))
        .Then(sim::SetCheck("frmDormellos", "chkHideIcon", 1));
    const sim::Step leave[] = {sim::Click("frmDormellos", "cmdCancel"),
                               sim::PressEscape("frmDormellos"), sim::CloseBox("frmDormellos")};
    desktop.Then(leave[GetParam()]).Then(sim::OpenWindow(u"Shut Down Windows"));
    RunPreselector();
    EXPECT_EQ(Settings(), kOriginal);
    EXPECT_EQ(app.g.ShortcutKey, u"S");
    EXPECT_FALSE(app.g.HideWindow);
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%S");
    EXPECT_TRUE(desktop.FormByName("frmDormello")->Visible());
}

INSTANTIATE_TEST_SUITE_P(CancelEscCloseBox, LeaveWithoutSavingTest, ::testing::Values(0, 1, 2));

TEST_F(OptionsDialogTest, SaveWritesBothKeysKeepsTheRestAndTakesEffectAtOnce) {
    desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"r"))
        .Then(sim::PressEnter("frmDormellos"))
        .Then(Check([&](auto&) {
            // The label shows the new key at once; its second line is unchanged.
            EXPECT_EQ(Status(), u"Shutdown Option set to: R\r\nfrom C:\\TOOLS\\QUINTARO.INI");
        }))
        .Then(sim::OpenWindow(u"Shut Down Windows"));
    RunPreselector();
    EXPECT_EQ(Settings(),
              "; my tools\r\n[Other]\r\nColour=Blue\r\n\r\n[Shutdown]\r\nOption=R\r\nHide=False\r\n"
              "Note=keep me\r\n[Last]\r\nX=1\r\n");
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%R");
    EXPECT_TRUE(desktop.Messages().empty());
    EXPECT_TRUE(desktop.FormByName("frmDormello")->Visible()) << "Hide Icon was not ticked";
}

TEST_F(OptionsDialogTest, CommandLineStaysTheNamedSourceAfterSaving) {
    desktop.SetCommandLine(u"s,false");
    desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"m"))
        .Then(sim::Click("frmDormellos", "cmdSave"));
    RunPreselector();
    EXPECT_EQ(Status(), u"Shutdown Option set to: M\r\nfrom Command Line 's,false'");
}

TEST_F(OptionsDialogTest, EmptyBoxIsSavedAndUsed) {
    desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u""))
        .Then(sim::Click("frmDormellos", "cmdSave"))
        .Then(sim::OpenWindow(u"Shut Down Windows"));
    RunPreselector();
    EXPECT_EQ(app.g.ShortcutKey, u"");
    EXPECT_NE(Settings().find("Option=\r\n"), std::string::npos);
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"");
}

TEST_F(OptionsDialogTest, ChangingTheOptionsRepeatedlyLeavesOneWatcher) {
    for (auto key : {u"a", u"b", u"c"}) {
        desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", key))
            .Then(sim::Click("frmDormellos", "cmdSave"))
            .Then(sim::Click("frmDormello", "cmdChangeOptions"));
    }
    desktop.Then(sim::PressEscape("frmDormellos"))
        .Then(sim::OpenWindow(u"Shut Down Windows"))
        .Then(sim::CloseWindow(u"Shut Down Windows"))
        .Then(sim::OpenWindow(u"Shut Down Windows"));
    RunPreselector();
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%C%C");
}

// A write that fails is told, naming the file, and the new values still apply.
struct WriteFailure {
    const char* name;
    std::function<void(sim::SimulatedDesktop& desktop, const std::filesystem::path& folder)>
        arrange;
    std::u16string_view file;  // as the message names it
};

const WriteFailure kWriteFailures[] = {
    {"read-only file",
     [](auto&, const auto& folder) { ::chmod((folder / "QUINTARO.INI").c_str(), 0444); },
     u"C:\\TOOLS\\QUINTARO.INI"},
    {"folder in place of the file",
     [](auto&, const auto& folder) {
         std::filesystem::remove(folder / "QUINTARO.INI");
         std::filesystem::create_directory(folder / "QUINTARO.INI");
     },
     u"C:\\TOOLS\\QUINTARO.INI"},
    {"folder that cannot be reached",
     [](auto& desktop, const auto&) { desktop.SetCurrentDirectory(u"Q:\\NOWHERE"); },
     u"Q:\\NOWHERE\\QUINTARO.INI"},
};

class WriteFailureTest : public OptionsDialogTest,
                         public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(WriteFailureTest, ToldAndStillApplied) {
    GetParam().arrange(desktop, folder.Path());
    desktop.SetCommandLine(u"S");  // start-up itself needs no file
    const bool fileBefore = std::filesystem::is_regular_file(SettingsFile());
    desktop.Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"r"))
        .Then(sim::Click("frmDormellos", "cmdSave"))
        .Then(sim::Answer(desktop::kAnswerOk))
        .Then(sim::OpenWindow(u"Shut Down Windows"));
    RunPreselector();
    ASSERT_EQ(desktop.Messages().size(), 1u);
    const auto& box = desktop.Messages()[0];
    EXPECT_EQ(box.title, u"Tobrin's Utilities");
    EXPECT_EQ(box.style, desktop::kStyleCriticalOk);
    EXPECT_NE(box.prompt.find(GetParam().file), std::u16string::npos);
    EXPECT_EQ(desktop.KeysReceivedBy(u"Shut Down Windows"), u"%R");
    if (fileBefore) {
        EXPECT_EQ(Settings(), kOriginal);
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, WriteFailureTest, ::testing::ValuesIn(kWriteFailures),
                         [](const auto& tc) { return CaseName(tc.param.name); });

}  // namespace
