#include "e2e/standin/shutdown/other_windows.h"

#include "e2e/standin/shutdown/protocol.h"

namespace standin {

namespace {

constexpr wchar_t kPlainClass[] = L"StandinShutdownPlain";

}  // namespace

OtherWindows::OtherWindows(HINSTANCE instance, const LineLog& log)
    : instance_(instance), log_(log) {
    WNDCLASSW plain{};
    plain.lpfnWndProc = DefWindowProcW;
    plain.hInstance = instance;
    plain.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    plain.lpszClassName = kPlainClass;
    RegisterClassW(&plain);
}

bool OtherWindows::CreateBystander() {
    HWND window = CreateWindowExW(0, kPlainClass, kBystanderTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  300, 300, 320, 160, nullptr, nullptr, instance_, nullptr);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 10, 10, 280,
                                24, window, nullptr, instance_, nullptr);
    if (edit == nullptr) {
        return false;
    }
    SetForegroundWindow(window);
    SetFocus(edit);
    log_("bystander").Hex("hwnd", window).Hex("edit", edit);
    return true;
}

void OtherWindows::Steal() {
    HWND from = GetForegroundWindow();
    if (thief_ == nullptr) {
        thief_ = CreateWindowExW(0, kPlainClass, kThiefTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20,
                                 20, 240, 120, nullptr, nullptr, instance_, nullptr);
    }
    ShowWindow(thief_, SW_SHOW);
    SetForegroundWindow(thief_);
    SetFocus(thief_);
    log_("steal").Hex("hwnd", thief_).Hex("from", from).Hex("foreground", GetForegroundWindow());
}

}  // namespace standin
