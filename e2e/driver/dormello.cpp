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
    HWND main = nullptr;
    WaitUntil(
        [&] {
            main = FindTopLevel(kMainTitle, dormello.Pid(), true);
            return main != nullptr || !dormello.Running();
        },
        kStartTimeout);
    return main;
}

HWND MessageBoxOf(const Process& dormello) {
    HWND box = FindTopLevelOfClass(dormello.Pid(), L"#32770", kMessageTitle);
    return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

void EndTheSession(const Process& dormello) {
    for (HWND window : TopLevelWindows(dormello.Pid())) {
        if (!dormello.Running()) {
            return;
        }
        SendEndSession(window, kDefaultTimeout);
    }
}

}  // namespace e2e
