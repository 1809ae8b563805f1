#include "e2e/standin/volume/properties_dialog.h"

namespace standin {

namespace {

constexpr UINT kDialogReady = WM_APP + 1;

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    const auto* log = reinterpret_cast<const LineLog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (log == nullptr) {
        return FALSE;
    }
    const WORD id = LOWORD(wParam);
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessageW(dialog, IDC_DEVICE, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(L"Stand-in Mixer"));
            SendDlgItemMessageW(dialog, IDC_DEVICE, CB_SETCURSEL, 0, 0);
            CheckRadioButton(dialog, IDC_PLAYBACK, IDC_RECORDING, IDC_PLAYBACK);
            (*log)("dialog-opened").Hex("hwnd", dialog);
            // Posted messages come before input: this is handled before any key typed ahead.
            PostMessageW(dialog, kDialogReady, 0, 0);
            return TRUE;  // the focus goes to the first tab stop, the combo box
        case kDialogReady:
            (*log)("dialog-ready")
                .Text("focus", ClassName(GetFocus()))
                .Number("visible", IsWindowVisible(dialog) != FALSE ? 1 : 0);
            return TRUE;
        case WM_COMMAND:
            if ((id == IDC_PLAYBACK || id == IDC_RECORDING) && HIWORD(wParam) == BN_CLICKED &&
                IsDlgButtonChecked(dialog, id) == BST_CHECKED) {
                (*log)(id == IDC_RECORDING ? "recording-chosen" : "playback-chosen");
            } else if (id == IDOK) {
                const bool recording = IsDlgButtonChecked(dialog, IDC_RECORDING) == BST_CHECKED;
                EndDialog(dialog,
                          static_cast<INT_PTR>(recording ? Choice::kRecording : Choice::kPlayback));
            } else if (id == IDCANCEL) {
                EndDialog(dialog, static_cast<INT_PTR>(Choice::kCancel));
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

Choice RunPropertiesDialog(HINSTANCE instance, HWND owner, const LineLog& log) {
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROPERTIES), owner, Proc,
                                           reinterpret_cast<LPARAM>(&log));
    if (result <= static_cast<INT_PTR>(Choice::kFailed)) {
        log("dialog-failed").Number("error", GetLastError());
        return Choice::kFailed;
    }
    const auto choice = static_cast<Choice>(result);
    log("dialog-closed")
        .Word("result", choice == Choice::kCancel ? "cancel" : "ok")
        .Number("recording", choice == Choice::kRecording ? 1 : 0);
    return choice;
}

}  // namespace standin
