// Stand-in for a busy desktop: many top-level windows of another program, and windows
// made and destroyed fast, as a desktop full of programs (tooltips, menus, notifications)
// makes them. The watcher under test should pay for what happens, not for what is there.
//
//   standin_desktop.exe [/windows:N] [/visible:K] [/churn:PER_SECOND] [/log:PATH]
//
// Makes N top-level windows titled "Window 1".."Window N" (default 10), the first K of
// them visible (default a quarter), small and in the screen's lower left corner. With
// /churn it destroys one of them and makes it anew that many times a second, round the
// list, and logs "churn made=TOTAL" once a second. It is up once all N exist; it runs
// until it is ended.
#include <windows.h>

#include <string>
#include <vector>

#include "e2e/standin/arguments.h"
#include "e2e/standin/line_log.h"

namespace {

constexpr wchar_t kClass[] = L"StandinBusyDesktop";

HWND MakeWindow(HINSTANCE instance, UINT index, bool visible) {
    const std::wstring title = L"Window " + std::to_wstring(index + 1);
    const int x = static_cast<int>(index % 40) * 6;
    const int y = 700 + static_cast<int>(index / 40 % 40) * 4;
    HWND window =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, title.c_str(),
                        WS_POPUP | WS_BORDER, x, y, 80, 40, nullptr, nullptr, instance, nullptr);
    // Shown without taking the front, as tooltips and notifications are: made visible at
    // creation, a window would take it from the dialog under test.
    if (visible) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    return window;
}

void DrainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) ExitProcess(0);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

double SecondsNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(standin::CounterFrequency());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace standin;
    Arguments arguments = Arguments::OfThisProgram();
    const UINT count = arguments.Number(L"windows").value_or(10);
    const UINT visible = arguments.Number(L"visible").value_or(count / 4);
    const UINT churn = arguments.Number(L"churn").value_or(0);
    const LineLog log(arguments.Text(L"log").value_or(L""));
    log("start").Number("qpf", CounterFrequency()).Number("windows", count).Number("churn", churn);

    WNDCLASSW plain{};
    plain.lpfnWndProc = DefWindowProcW;
    plain.hInstance = instance;
    plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    plain.lpszClassName = kClass;
    RegisterClassW(&plain);
    std::vector<HWND> windows;
    for (UINT i = 0; i < count; ++i) windows.push_back(MakeWindow(instance, i, i < visible));
    log("ready").Number("windows", count);

    // Paced by the clock, so the rate holds whatever one wait oversleeps: each pass makes
    // the windows that are due, then waits for the next one (or for messages).
    const double start = SecondsNow();
    double lastReport = start;
    unsigned long long made = 0;
    for (;;) {
        DrainMessages();
        const double now = SecondsNow();
        if (churn == 0 || count == 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
            continue;
        }
        while (static_cast<double>(made) < (now - start) * churn) {
            const UINT index = static_cast<UINT>(made % count);
            DestroyWindow(windows[index]);
            windows[index] = MakeWindow(instance, index, index < visible);
            ++made;
        }
        if (now - lastReport >= 1.0) {
            log("churn").Number("made", static_cast<std::int64_t>(made));
            lastReport = now;
        }
        const double next = start + static_cast<double>(made) / churn;
        const auto waitMs = static_cast<DWORD>(next > now ? (next - now) * 1000.0 : 0.0);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
    }
}
