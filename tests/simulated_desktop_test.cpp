// The simulated desktop behaves as the real one does where the programs rely on it.
#include "desktop/sim/simulated_desktop.h"

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

using namespace testing_support;
using desktop::DesktopError;

class SimulatedDesktopTest : public SimTest {};

TEST_F(SimulatedDesktopTest, UpperCasesByUnicodeRulesAndTheAnsiCodePageHoldsOnlyItsOwn) {
    EXPECT_EQ(desktop.UpperCase(u"az\u00e9\u00ff\u0101\u0192\u03b1\u0431\uff41,1%"),
              u"AZ\u00c9\u0178\u0100\u0191\u0391\u0411\uff21,1%");
    EXPECT_EQ(desktop.UpperCase(u"\u00f7\u00df"), u"\u00f7\u00df");  // no capital of their own
    EXPECT_TRUE(desktop.AnsiCodePageHolds(u"R\u00e9\u20ac"));
    EXPECT_FALSE(desktop.AnsiCodePageHolds(u"\u0100"));
    EXPECT_FALSE(desktop.AnsiCodePageHolds(u"\u4e2d"));
}

TEST_F(SimulatedDesktopTest, FindWindowMatchesWholeTitlesIgnoringCaseThroughTheAnsiCodePage) {
    desktop.Open(u"Shut Down Windows", false);
    desktop.Open(u"Caf\u00e9 \u20ac", false);
    const struct {
        std::u16string title;
        bool found;
    } cases[] = {
        {u"Shut Down Windows", true},
        {u"SHUT DOWN WINDOWS", true},
        {u"Shut Down", false},
        {u"Shut Down Windows ", false},
        {u"caf\u00c9 \u20ac", true},
        // U+0100 has no place in the code page: it arrives as '?', matching nothing here.
        {u"Caf\u0100 \u20ac", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(desktop.FindWindowA(c.title) > 0, c.found) << common::ToUtf8(c.title);
    }
}

TEST_F(SimulatedDesktopTest, FocusFallsBackToThePreviousWindowWhenTheFocusedOneCloses) {
    desktop.Open(u"A");
    desktop.Open(u"B");
    desktop.Open(u"C", /*takeFocus=*/false);
    EXPECT_EQ(desktop.ForegroundTitle(), u"B");
    desktop.Close(u"B");
    EXPECT_EQ(desktop.ForegroundTitle(), u"A");
    desktop.Close(u"A");
    EXPECT_EQ(desktop.ForegroundWindow(), 0);
}

TEST_F(SimulatedDesktopTest, KeysGoToTheFocusedWindowAndGuardedKeysOnlyToTheirTarget) {
    const auto a = desktop.Open(u"A");
    const auto b = desktop.Open(u"B", false);
    desktop.SendKeystrokes(u"%r", false);
    EXPECT_FALSE(desktop.SendKeystrokesInto(b, u"x", false));
    EXPECT_TRUE(desktop.SendKeystrokesInto(a, u"{TAB}~", false));
    EXPECT_EQ(desktop.KeysReceivedBy(u"A"), u"%r{TAB}{ENTER}");
    EXPECT_EQ(desktop.KeysReceivedBy(u"B"), u"");
}

TEST_F(SimulatedDesktopTest, PostedKeysReachTheirTargetWhicheverWindowHasTheFocus) {
    const auto a = desktop.Open(u"A");
    desktop.Open(u"B");
    EXPECT_TRUE(desktop.PostKeystrokes(a, u"%r"));
    EXPECT_EQ(desktop.KeysReceivedBy(u"A"), u"%r");
    EXPECT_EQ(desktop.KeysReceivedBy(u"B"), u"");
    desktop.Close(u"A");
    EXPECT_FALSE(desktop.PostKeystrokes(a, u"x"));
    EXPECT_THROW(desktop.PostKeystrokes(a, u"{"), DesktopError);
}

TEST_F(SimulatedDesktopTest, MalformedKeysFailBeforeAnythingIsTyped) {
    desktop.Open(u"A");
    EXPECT_THROW(desktop.SendKeystrokes(u"ab{NOSUCHKEY}", false), DesktopError);
    EXPECT_THROW(desktop.SendKeystrokes(u"ab%", false), DesktopError);
    EXPECT_TRUE(desktop.Typed().empty());
}

TEST_F(SimulatedDesktopTest, FailingOperationsRaiseTheDesktopError) {
    EXPECT_THROW(desktop.LaunchProgram(u"C:\\WINDOWS\\SNDVOL32.EXE", 1), DesktopError);
    EXPECT_THROW(desktop.ActivateWindow(u"Recording Control"), DesktopError);
    EXPECT_TRUE(desktop.Launches().empty());
}

TEST_F(SimulatedDesktopTest, ProfileReadFillsTheBufferLikeTheSystemCall) {
    WriteSettings("[Shutdown]\r\nOption=abc\r\n");
    std::u16string buffer(8, u'#');
    const int n = desktop.GetPrivateProfileStringA(u"shutdown", u"OPTION", u"!!", buffer, 8,
                                                   u"c:\\tools\\quintaro.ini");
    EXPECT_EQ(n, 3);
    // Value, NUL, then what the buffer held before.
    EXPECT_EQ(buffer, std::u16string(u"abc\0####", 8));
    EXPECT_EQ(desktop.GetPrivateProfileStringA(u"Shutdown", u"Option", u"!!", buffer, 3,
                                               u"C:\\TOOLS\\QUINTARO.INI"),
              2);
    EXPECT_EQ(buffer.substr(0, 3), std::u16string(u"ab\0", 3));
    // An unmapped folder reads as absent.
    desktop.GetPrivateProfileStringA(u"Shutdown", u"Option", u"!!", buffer, 8, u"D:\\X.INI");
    EXPECT_EQ(buffer.substr(0, 3), std::u16string(u"!!\0", 3));
}

TEST_F(SimulatedDesktopTest, WaitingMovesTimeToTheNextStepOrTheLimit) {
    desktop.Then(sim::OpenWindow(u"A").After(600ms));
    EXPECT_FALSE(desktop.WaitForDesktopChange(250ms));
    EXPECT_FALSE(desktop.WaitForDesktopChange(250ms));
    EXPECT_EQ(desktop.FindWindowA(u"A"), 0);
    EXPECT_TRUE(desktop.WaitForDesktopChange(250ms));
    EXPECT_GT(desktop.FindWindowA(u"A"), 0);
    EXPECT_EQ(desktop.Clock(), 600ms);
}

TEST_F(SimulatedDesktopTest, AnUnreportedChangeHappensOnTimeButEndsNoWait) {
    desktop.Then(sim::OpenWindow(u"A").After(100ms).Unreported())
        .Then(sim::OpenWindow(u"B").After(400ms));
    EXPECT_FALSE(desktop.WaitForDesktopChange(250ms));
    EXPECT_GT(desktop.FindWindowA(u"A"), 0);
    EXPECT_EQ(desktop.Clock(), 250ms);
    EXPECT_TRUE(desktop.WaitForDesktopChange(250ms));
    EXPECT_EQ(desktop.Clock(), 500ms);
}

TEST_F(SimulatedDesktopTest, RunTellsAProgramThatEndedItselfFromOneThatRanOutOfScript) {
    EXPECT_TRUE(desktop.Run([&] { desktop.EndProgram(); }));
    sim::SimulatedDesktop other;
    EXPECT_FALSE(other.Run([&] {
        while (true) other.WaitForDesktopChange(250ms);
    }));
}

TEST_F(SimulatedDesktopTest, MessageBoxesTakeTheirAnswerFromTheScriptAndAreRecorded) {
    desktop.Then(sim::Answer(desktop::kAnswerNo));
    EXPECT_EQ(desktop.ShowMessage(u"Sure?", desktop::kStyleQuestionYesNo, u"T"),
              desktop::kAnswerNo);
    ASSERT_EQ(desktop.Messages().size(), 1u);
    EXPECT_EQ(desktop.Messages()[0].prompt, u"Sure?");
    EXPECT_EQ(desktop.Messages()[0].answer, desktop::kAnswerNo);
    // An answer the box cannot give is a fault of the test's script.
    desktop.Then(sim::Answer(desktop::kAnswerYes));
    EXPECT_THROW(desktop.ShowMessage(u"Bad", desktop::kStyleCriticalOk, u"T"), std::logic_error);
}

TEST_F(SimulatedDesktopTest, WindowsDirectoryEndsWithANul) {
    desktop.SetWindowsDirectory(u"C:\\WINNT");
    std::u16string buffer(255, u'x');
    EXPECT_EQ(desktop.GetWindowsDirectoryA(buffer, 255), 8);
    EXPECT_EQ(buffer.substr(0, 10), std::u16string(u"C:\\WINNT\0x", 10));
}

TEST_F(SimulatedDesktopTest, DescribeShowsTheWholeState) {
    desktop.Open(u"Shut Down Windows");
    desktop.SendKeystrokes(u"%S", false);
    desktop.Then(sim::Idle(1s));
    const auto text = desktop.Describe();
    for (const char* part : {"\"Shut Down Windows\"", "foreground", "%S", "todo: idle"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
}

}  // namespace
