#include "e2e/standin/volume/volume_window.h"

#include "e2e/standin/volume/properties_dialog.h"

namespace standin {

namespace {

constexpr wchar_t kClass[] = L"StandinVolumeControl";
constexpr UINT kCmdProperties = 100;
constexpr UINT kCmdExit = 101;

HMENU MenuBar() {
    HMENU bar = CreateMenu();
    HMENU options = CreatePopupMenu();
    AppendMenuW(options, MF_STRING, kCmdProperties, L"P&roperties...");
    AppendMenuW(options, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(options, MF_STRING, kCmdExit, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"O&ptions");
    return bar;
}

}  // namespace

HWND VolumeWindow::Create() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClass;
    if (RegisterClassW(&windowClass) == 0) {
        return nullptr;
    }
    return CreateWindowExW(0, kClass, kVolumeTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 360, 200, nullptr, MenuBar(), instance_, this);
}

LRESULT CALLBACK VolumeWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<VolumeWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<VolumeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, wParam, lParam)
                           : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT VolumeWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            log_(LOWORD(wParam) == WA_INACTIVE ? "deactivated" : "activated").Hex("hwnd", window_);
            break;
        case WM_INITMENUPOPUP:
            if (HIWORD(lParam) == 0) {
                log_("menu-opened").Word("menu", "Options");
            }
            break;
        case WM_EXITMENULOOP:
            log_("menu-closed");
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == 0 && LOWORD(wParam) == kCmdProperties) {
                log_("menu-command").Word("item", "Properties");
                ChooseProperties();
                return 0;
            }
            if (HIWORD(wParam) == 0 && LOWORD(wParam) == kCmdExit) {
                log_("menu-command").Word("item", "Exit");
                DestroyWindow(window_);
                return 0;
            }
            break;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void VolumeWindow::ChooseProperties() {
    const Choice choice = RunPropertiesDialog(instance_, window_, log_);
    if (choice == Choice::kFailed || choice == Choice::kCancel) {
        return;
    }
    if (choice == Choice::kRecording && neverSwitch_) {
        log_("retitle-suppressed").Word("reason", "noswitch");
        return;
    }
    showingRecording_ = choice == Choice::kRecording;
    const wchar_t* title = showingRecording_ ? kRecordingTitle : kVolumeTitle;
    if (WindowText(window_) != title) {
        SetWindowTextW(window_, title);
        log_("retitled").Text("title", title);
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void VolumeWindow::Paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    RECT area{};
    GetClientRect(window_, &area);
    InflateRect(&area, -12, -12);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc,
              showingRecording_ ? L"Stand-in volume control\nShowing the recording controls."
                                : L"Stand-in volume control\nShowing the playback controls.",
              -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
    EndPaint(window_, &paint);
}

}  // namespace standin
