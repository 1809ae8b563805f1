#include "e2e/driver/busy_desktop.h"

#include <stdexcept>

#include "e2e/driver/environment.h"
#include "e2e/driver/event_log.h"

namespace e2e {

Process StartBusyDesktop(int windows, int churnPerSecond, const std::wstring& folder,
                         Millis timeout) {
    auto desktop = Process::Start(
        ExePath(L"standin_desktop.exe"),
        {L"/windows:" + std::to_wstring(windows), L"/churn:" + std::to_wstring(churnPerSecond),
         L"/log:" + folder + L"\\desktop.log"},
        folder);
    // Its own word, not a count of its windows: while it remakes them, a count that takes
    // longer than a remaking never sees them all.
    const EventLog log(folder + L"\\desktop.log");
    if (!log.WaitFor([](const LogLine& line) { return line.event == "ready"; }, timeout)) {
        throw std::runtime_error("the busy desktop did not make its windows");
    }
    return desktop;
}

}  // namespace e2e
