// The simulated desktop's own machinery: its record of keys, its clock and script, and
// its description of itself. What it shares with the real desktop is the contract's
// (shell_contract.h).
#include "desktop/sim/simulated_desktop.h"

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace {

using namespace testing_support;
using desktop::DesktopError;

class SimulatedDesktopTest : public SimTest {};

// Typed keys go to the window in front, guarded ones only to their target, posted ones to
// their target wherever the focus is; malformed ones fail before anything is typed.
TEST_F(SimulatedDesktopTest, KeysAreRecordedByTheWindowThatReceivesThem) {
    const auto a = desktop.Open(u"A");
    const auto b = desktop.Open(u"B", false);
    desktop.SendKeystrokes(u"%r", false);
    EXPECT_FALSE(desktop.SendKeystrokesInto(b, u"x", false));
    EXPECT_TRUE(desktop.SendKeystrokesInto(a, u"{TAB}~", false));
    EXPECT_TRUE(desktop.PostKeystrokes(b, u"y"));
    EXPECT_THROW(desktop.SendKeystrokes(u"ab{NOSUCHKEY}", false), DesktopError);
    EXPECT_THROW(desktop.SendKeystrokes(u"ab%", false), DesktopError);
    EXPECT_EQ(desktop.KeysReceivedBy(u"A"), u"%r{TAB}{ENTER}");
    EXPECT_EQ(desktop.KeysReceivedBy(u"B"), u"y");
}

TEST_F(SimulatedDesktopTest, APathOutsideEveryMappedFolderCanBeNeitherReadNorWritten) {
    std::u16string buffer(8, u'#');
    desktop.GetPrivateProfileStringA(u"Shutdown", u"Option", u"!!", buffer, 8, u"D:\\X.INI");
    EXPECT_EQ(buffer.substr(0, 3), std::u16string(u"!!\0", 3));
    EXPECT_FALSE(desktop.WritePrivateProfileStringA(u"Shutdown", u"Option", u"R", u"D:\\X.INI"));
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

// A scripted answer is the contract's; one the box cannot give is a fault of the script.
TEST_F(SimulatedDesktopTest, AMessageBoxAnswerTheBoxCannotGiveFailsTheScript) {
    desktop.Then(sim::Answer(desktop::kAnswerYes));
    EXPECT_THROW(desktop.ShowMessage(u"Bad", desktop::kStyleCriticalOk, u"T"), std::logic_error);
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
