#include "e2e/driver/busy_desktop.h"

#include <stdexcept>

#include "e2e/driver/environment.h"
#include "e2e/driver/windows.h"

namespace e2e {

Process StartBusyDesktop(int windows, int churnPerSecond, const std::wstring& folder,
                         Millis timeout) {
    auto desktop = Process::Start(
        ExePath(L"standin_desktop.exe"),
        {L"/windows:" + std::to_wstring(windows), L"/churn:" + std::to_wstring(churnPerSecond),
         L"/log:" + folder + L"\\desktop.log"},
        folder);
    if (!WaitUntil(
            [&] { return static_cast<int>(TopLevelWindows(desktop.Pid()).size()) >= windows; },
            timeout)) {
        throw std::runtime_error("the busy desktop did not make its windows");
    }
    return desktop;
}

}  // namespace e2e
