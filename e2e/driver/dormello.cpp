#include "e2e/driver/dormello.h"

#include <stdexcept>

#include "e2e/driver/environment.h"
#include "e2e/driver/text.h"
#include "e2e/driver/windows.h"

namespace e2e {

namespace {

constexpr wchar_t kExeName[] = L"dormello32.exe";

}  // namespace

std::string DormelloMissing() {
    if (FileExists(ExePath(kExeName))) {
        return {};
    }
    return "dormello32.exe is not in " + ToUtf8(Env().exeDir);
}

Process LaunchDormello(const std::wstring& commandLine, const std::wstring& folder) {
    std::vector<std::wstring> args;
    if (!commandLine.empty()) {
        args.push_back(commandLine);
    }
    return Process::Start(ExePath(kExeName), args, folder);
}

Process StartDormelloUntilIdle(const std::wstring& commandLine, const std::wstring& folder) {
    Process dormello = LaunchDormello(commandLine, folder);
    if (WaitForInputIdle(dormello.Handle(), static_cast<DWORD>(kStartTimeout.count())) != 0) {
        throw std::runtime_error("dormello32 " + ToUtf8(commandLine) + " did not come up; " +
                                 Describe(dormello));
    }
    return dormello;
}

std::string Describe(const Process& dormello) {
    if (dormello.Running()) {
        return "dormello32.exe is still running";
    }
    return "dormello32.exe ended with exit code " + std::to_string(dormello.ExitCode());
}

std::string Joined(const std::vector<std::wstring>& texts) {
    std::string joined;
    for (const auto& text : texts) {
        joined.append("[").append(ToUtf8(text)).append("] ");
    }
    return joined;
}

HWND WaitForMainWindow(const Process& dormello) {
    // The caption and the labels' texts are set when the form is first activated, a moment
    // after it is shown.
    return WaitForWindowOf(
        dormello,
        [](const Process& shown) -> HWND {
            HWND main = FindTopLevel(kMainTitle, shown.Pid(), true);
            if (main == nullptr) return nullptr;
            for (const auto& text : StaticTexts(main)) {
                if (text.starts_with(kStatusPrefix)) return main;
            }
            return nullptr;
        },
        kStartTimeout);
}

HWND MessageBoxOf(const Process& dormello) {
    HWND box = FindTopLevelOfClass(dormello.Pid(), L"#32770", kMessageTitle);
    return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

HWND OptionsDialogOf(const Process& dormello) {
    return FindTopLevel(kOptionsTitle, dormello.Pid(), true);
}

HWND WaitForWindowOf(const Process& dormello, HWND (*find)(const Process&), Millis timeout) {
    HWND window = nullptr;
    WaitUntil(
        [&] {
            window = find(dormello);
            return window != nullptr || !dormello.Running();
        },
        timeout);
    return window;
}

void EndTheSession(const Process& dormello) {
    const auto timeoutMs = static_cast<UINT>(kDefaultTimeout.count());
    for (HWND window : TopLevelWindows(dormello.Pid())) {
        if (!dormello.Running()) {
            return;
        }
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, timeoutMs,
                                &answer) != 0) {
            SendMessageTimeoutW(window, WM_ENDSESSION, answer != 0 ? TRUE : FALSE, 0,
                                SMTO_ABORTIFHUNG, timeoutMs, &answer);
        }
    }
}

}  // namespace e2e
