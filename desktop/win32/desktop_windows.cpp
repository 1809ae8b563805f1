#include "desktop/win32/desktop_windows.h"

namespace desktop::win32 {

namespace {

HWND ToHwnd(WindowHandle window) { return static_cast<HWND>(LongToHandle(window)); }

}  // namespace

BOOL CALLBACK DesktopWindows::Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(HandleToLong(window));
    return TRUE;
}

std::vector<WindowHandle> DesktopWindows::TopLevelWindows() {
    std::vector<WindowHandle> windows;
    // EnumDesktopWindows rather than EnumWindows where there is one (NT): Wine's
    // EnumWindows asks once more per window whether it still exists.
    const auto list = reinterpret_cast<LPARAM>(&windows);
    if (system_.EnumDesktopWindows != nullptr) {
        system_.EnumDesktopWindows(nullptr, Collect, list);
    } else {
        EnumWindows(Collect, list);
    }
    return windows;
}

std::optional<std::u16string> DesktopWindows::FoldedTitle(WindowHandle window,
                                                          std::size_t longest) {
    // Another program's title is read from the system, never by a message to it, so a
    // hung program cannot hold the search; an empty one needs telling from a gone window.
    const HWND hwnd = ToHwnd(window);
    std::u16string title = system_.TextOf(hwnd, static_cast<int>(longest));
    if (title.empty() && IsWindow(hwnd) == FALSE) return std::nullopt;
    return system_.UpperCase(title);
}

bool DesktopWindows::Visible(WindowHandle window) {
    return IsWindowVisible(ToHwnd(window)) != FALSE;
}

bool DesktopWindows::TopLevel(WindowHandle window) {
    return (GetWindowLongA(ToHwnd(window), GWL_STYLE) & WS_CHILD) == 0;
}

bool DesktopWindows::Ours(WindowHandle window) {
    DWORD process = 0;
    GetWindowThreadProcessId(ToHwnd(window), &process);
    return process == GetCurrentProcessId();
}

}  // namespace desktop::win32
