// The floor under any watcher that waits for WinEvents: a program that hooks the events
// the preselector hooks, with the same flags, and does nothing with them. What it costs
// under a desktop's window churn is what receiving the events costs; a watcher's cost
// above it is its own looking.
#include <windows.h>

namespace {

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A hidden window, so the harness can tell it is up.
    WNDCLASSW plain{};
    plain.lpfnWndProc = DefWindowProcW;
    plain.hInstance = instance;
    plain.lpszClassName = L"BenchEventFloor";
    RegisterClassW(&plain);
    CreateWindowExW(0, plain.lpszClassName, L"Event Floor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                    instance, nullptr);
    const DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_HIDE, nullptr, OnWinEvent, 0, 0, flags);
    SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, OnWinEvent, 0, 0,
                    flags);
    SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, OnWinEvent, 0, 0,
                    flags);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
