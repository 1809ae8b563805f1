// The preselector's start-up, seen from outside: which window it shows first.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/driver/dormello.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"

namespace e2e {
namespace {

class DormelloStartup : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(DormelloMissing(), ""); }

    static Process Start(const std::wstring& folder) {
        // No arguments: the program's command line is empty.
        return LaunchDormello({}, folder);
    }
};

TEST_F(DormelloStartup, WithoutCommandLineOrSettingsFileNamesTheFileInAMessageBox) {
    const std::wstring folder = NewScratchFolder(L"no-settings");
    Process dormello = Start(folder);

    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = MessageBoxOf(dormello);
            return box != nullptr || !dormello.Running();
        },
        kStartTimeout);
    ASSERT_NE(box, nullptr) << "no message box titled \"Tobrin's Utilities\" appeared; "
                            << Describe(dormello);
    Screenshot(L"dormello_invalid_option_message", box);

    const std::wstring expected = L"Invalid Shutdown Option in " + folder + L"\\QUINTARO.INI";
    const auto texts = StaticTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end())
        << "expected the text: " << ToUtf8(expected) << "\nthe box shows: " << Joined(texts);
}

TEST_F(DormelloStartup, WithAValidOptionInTheSettingsFileShowsTheMainWindowWithoutAMessage) {
    const std::wstring folder = NewScratchFolder(L"option-s");
    ASSERT_TRUE(WriteBytes(folder + L"\\QUINTARO.INI", "[Shutdown]\r\nOption=s\r\n"));
    Process dormello = Start(folder);

    HWND main = nullptr;
    HWND box = nullptr;
    WaitUntil(
        [&] {
            main = FindTopLevel(kMainTitle, dormello.Pid(), true);
            box = MessageBoxOf(dormello);
            return main != nullptr || box != nullptr || !dormello.Running();
        },
        kStartTimeout);
    EXPECT_EQ(box, nullptr) << "a message box appeared: "
                            << (box != nullptr ? Joined(StaticTexts(box)) : "");
    ASSERT_NE(main, nullptr) << "the main window \"Dormello\" did not appear; "
                             << Describe(dormello);
    Screenshot(L"dormello_main_window_option_s", main);
    // Start-up shows the message, if at all, before the main window.
    EXPECT_EQ(MessageBoxOf(dormello), nullptr);
}

}  // namespace
}  // namespace e2e
