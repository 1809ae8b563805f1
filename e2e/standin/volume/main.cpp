// Stand-in for the system volume control, installed as SNDVOL32.EXE in the Windows folder of
// the Wine prefix that the end-to-end tests use: just enough of a volume control for the
// launcher to drive it with keystrokes (volume_window.h, properties_dialog.h).
//
// Options (e2e/standin/arguments.h), read from the environment variable
// STANDIN_SNDVOL32_OPTIONS and then from the command line, for runs where the program that
// starts this one passes no arguments:
//   /delay:MS     start slowly: no window at all exists until MS have passed (the thread pumps
//                 messages while it waits, so WaitForInputIdle may return before the window shows)
//   /noswitch     the Properties dialog never switches: OK keeps the title "Volume Control"
//   /noactivate   show the main window without activating it (SW_SHOWNOACTIVATE)
//   /crash:MS     ExitProcess(3) MS after the program starts, whatever it is doing then
//   /log:PATH     the log (e2e/standin/line_log.h), shared by every copy given the same path
// Arguments it does not know are logged and ignored; a bad value of a known option ends the
// program with exit code 2 before any window is created.
//
// Besides every key message (e2e/standin/key_logger.h) the log has: start, ignored-arg,
// bad-option, delay-begin, delay-end, window-shown, activated, deactivated, menu-opened,
// menu-closed, menu-command, dialog-opened, dialog-ready, playback-chosen, recording-chosen,
// dialog-closed, dialog-failed, retitled, retitle-suppressed, crash, exit.
//
// Exit codes: 0 normal end, 1 could not start, 2 bad option value, 3 the /crash timer fired.
#include <algorithm>
#include <string>

#include "e2e/standin/arguments.h"
#include "e2e/standin/key_logger.h"
#include "e2e/standin/line_log.h"
#include "e2e/standin/volume/volume_window.h"

namespace {

using standin::LineLog;

constexpr int kExitStartFailed = 1;
constexpr int kExitBadOption = 2;
constexpr UINT kExitCrash = 3;

std::wstring OptionsFromEnvironment() {
    std::wstring value(GetEnvironmentVariableW(L"STANDIN_SNDVOL32_OPTIONS", nullptr, 0), L'\0');
    value.resize(GetEnvironmentVariableW(L"STANDIN_SNDVOL32_OPTIONS", value.data(),
                                         static_cast<DWORD>(value.size())));
    return value;
}

// Waits without a window, handling whatever messages arrive meanwhile; false on WM_QUIT.
bool PumpFor(DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            if (message.message == WM_QUIT) {
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void CALLBACK CrashNow(PVOID log, BOOLEAN) {
    (*static_cast<const LineLog*>(log))("crash").Number("code", kExitCrash);
    ExitProcess(kExitCrash);
}

int Run(HINSTANCE instance, int showCommand, const LineLog& log, standin::Arguments& options) {
    const auto delayMs = options.Number(L"delay");
    const bool neverSwitch = options.Flag(L"noswitch");
    const bool noActivate = options.Flag(L"noactivate");
    const auto crashMs = options.Number(L"crash");
    log("start")
        .Number("qpf", standin::CounterFrequency())
        .Number("delay", delayMs.value_or(0))
        .Number("noswitch", neverSwitch ? 1 : 0)
        .Number("noactivate", noActivate ? 1 : 0)
        .Word("crash", crashMs ? std::to_string(*crashMs) : "-");
    for (const auto& arg : options.Unused()) {
        log("ignored-arg").Text("arg", arg);
    }
    if (!options.Bad().empty()) {
        log("bad-option").Text("arg", options.Bad());
        return kExitBadOption;
    }
    HANDLE timer = nullptr;
    if (crashMs && !CreateTimerQueueTimer(&timer, nullptr, CrashNow, const_cast<LineLog*>(&log),
                                          std::max(*crashMs, 1U), 0, WT_EXECUTEONLYONCE)) {
        return kExitStartFailed;
    }
    // Before anything touches the message queue: no key message goes unlogged.
    const standin::KeyLogger keys(log);
    if (delayMs > 0U) {
        log("delay-begin").Number("ms", *delayMs);
        if (!PumpFor(*delayMs)) {
            return 0;
        }
        log("delay-end");
    }
    standin::VolumeWindow volume(instance, log, neverSwitch);
    HWND window = volume.Create();
    if (window == nullptr) {
        return kExitStartFailed;
    }
    // Shown the way the program that started this one asked, as a program should: WinMain's
    // show command is SW_SHOWDEFAULT (shown and activated) unless STARTUPINFO says otherwise.
    const int show = noActivate ? SW_SHOWNOACTIVATE : showCommand;
    ShowWindow(window, show);
    UpdateWindow(window);
    log("window-shown")
        .Hex("hwnd", window)
        .Text("title", standin::WindowText(window))
        .Number("show", show)
        .Number("foreground", GetForegroundWindow() == window ? 1 : 0);
    return standin::RunMessageLoop();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    auto options = standin::Arguments::OfThisProgram(OptionsFromEnvironment());
    const LineLog log(options.Text(L"log").value_or(L""));
    const int code = Run(instance, showCommand, log, options);
    log("exit").Number("code", code);
    return code;
}
