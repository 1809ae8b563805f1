#pragma once
// The preselector dormello32.exe as the end-to-end tests meet it: its window titles, the
// captions of its main window's buttons, and how a test starts it and reads what it shows.
#include <windows.h>

#include <string>
#include <vector>

#include "e2e/driver/process.h"
#include "e2e/driver/wait.h"

namespace e2e {

// A start-up takes well under this under Wine, the first start in a new prefix included.
inline constexpr Millis kStartTimeout{20000};

inline constexpr wchar_t kMainTitle[] = L"Dormello";
// The title of its message boxes and questions.
inline constexpr wchar_t kMessageTitle[] = L"Tobrin's Utilities";
inline constexpr wchar_t kOptionsTitle[] = L"Change Shutdown Options";
// The main window's status text starts with this.
inline constexpr wchar_t kStatusPrefix[] = L"Shutdown Option set to: ";

// The main window's buttons.
inline constexpr wchar_t kMinimise[] = L"Mi&nimise";
inline constexpr wchar_t kChangeOptions[] = L"&Change Options";
inline constexpr wchar_t kHide[] = L"&Hide";
inline constexpr wchar_t kExit[] = L"E&xit";

// The shutdown stand-in's index of Restart, the option the key R selects.
inline constexpr int kRestart = 1;
// ... and of "Restart the computer in MS-DOS mode?", the option the key M selects.
inline constexpr int kMsDos = 2;

// Empty when dormello32.exe is in the tests' folder; otherwise what is missing where.
std::string DormelloMissing();

// Starts dormello32.exe in `folder` with `commandLine` as its one argument (none when
// empty). Does not wait. Throws std::runtime_error when it cannot be started.
Process LaunchDormello(const std::wstring& commandLine, const std::wstring& folder);

// LaunchDormello, then waits until it first waits for input: its start-up, the showing or
// hiding of its main window included, is over, and its watcher runs. Throws
// std::runtime_error when it does not come up.
Process StartDormelloUntilIdle(const std::wstring& commandLine, const std::wstring& folder);

// Whether dormello32.exe still runs or how it ended, for failure messages.
std::string Describe(const Process& dormello);

// Texts as "[first] [second] ", for failure messages.
std::string Joined(const std::vector<std::wstring>& texts);

// The shown main window of dormello32 once its texts are set; nullptr when it did not
// appear within kStartTimeout or the process ended first.
HWND WaitForMainWindow(const Process& dormello);

// The preselector's question or message box, and its options dialog, once shown; nullptr
// otherwise.
HWND MessageBoxOf(const Process& dormello);
HWND OptionsDialogOf(const Process& dormello);

// Waits for the window `find` gives; nullptr when none came within `timeout` or the
// process ended first.
HWND WaitForWindowOf(const Process& dormello, HWND (*find)(const Process&),
                     Millis timeout = kDefaultTimeout);

// The end of the session as the system delivers it: WM_QUERYENDSESSION, then
// WM_ENDSESSION, to every top-level window of the process, hidden ones included, in turn.
void EndTheSession(const Process& dormello);

}  // namespace e2e
