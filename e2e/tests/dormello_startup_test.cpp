// The preselector's start-up, seen from outside: which window it shows first.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"

namespace e2e {
namespace {

constexpr wchar_t kMessageTitle[] = L"Tobrin's Utilities";
constexpr wchar_t kMainTitle[] = L"Dormello";

// A start-up takes well under this under Wine, the first start in a new prefix included.
constexpr Millis kStartTimeout{20000};

std::string Describe(const Process& process) {
    if (process.Running()) {
        return "dormello32.exe is still running";
    }
    return "dormello32.exe ended with exit code " + std::to_string(process.ExitCode());
}

// The box's texts as "[first] [second]", for failure messages.
std::string Joined(const std::vector<std::wstring>& texts) {
    std::string joined;
    for (const auto& text : texts) {
        joined.append("[").append(ToUtf8(text)).append("] ");
    }
    return joined;
}

class DormelloStartup : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(ExePath(L"dormello32.exe")))
            << "dormello32.exe is not in " << ToUtf8(Env().exeDir);
    }

    Process Start(const std::wstring& folder) {
        // No arguments: the program's command line is empty.
        return Process::Start(ExePath(L"dormello32.exe"), {}, folder);
    }

    static HWND MessageBoxOf(const Process& process) {
        HWND box = FindTopLevelOfClass(process.Pid(), L"#32770", kMessageTitle);
        return box != nullptr && IsWindowVisible(box) ? box : nullptr;
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
