#include "e2e/standin/shutdown/shutdown_dialog.h"

#include <array>
#include <string>
#include <vector>

#include "e2e/standin/shutdown/protocol.h"

namespace standin {

namespace {

constexpr UINT_PTR kTimerShow = 1;
constexpr UINT_PTR kTimerRetitle = 2;
constexpr UINT_PTR kTimerForward = 3;
constexpr std::array<int, 3> kOptionIds{IDC_OPTION_SHUTDOWN, IDC_OPTION_RESTART, IDC_OPTION_MSDOS};

// Skips a DLGTEMPLATEEX field that is either a string, 0 or 0xFFFF and a resource id.
WORD* SkipNameOrId(WORD* field) {
    if (*field == 0 || *field == 0xFFFF) {
        return field + (*field == 0 ? 1 : 2);
    }
    while (*field != 0) {
        ++field;
    }
    return field + 1;
}

// A copy of the dialog's template in the shape asked for: DS_SETFOREGROUND added, the
// caption replaced by another of the same length (so nothing after it moves). Empty
// when the template cannot be read.
std::vector<BYTE> TemplateFor(const Shape& shape, HINSTANCE instance, int templateId) {
    const auto id = MAKEINTRESOURCEW(templateId);
    HRSRC found = FindResourceW(instance, id, MAKEINTRESOURCEW(5));
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const auto* bytes =
        static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        return {};
    }
    std::vector<BYTE> copy(bytes, bytes + SizeofResource(instance, found));
    // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy; then the menu,
    // the class and the caption.
    constexpr size_t kStyleOffset = 12;
    constexpr size_t kHeaderBytes = 26;
    if (shape.setForeground) {
        *reinterpret_cast<DWORD*>(copy.data() + kStyleOffset) |= DS_SETFOREGROUND;
    }
    if (shape.titledMs > 0) {
        WORD* caption =
            SkipNameOrId(SkipNameOrId(reinterpret_cast<WORD*>(copy.data() + kHeaderBytes)));
        const std::wstring_view untitled = L"Untitled";
        for (size_t i = 0; caption[i] != 0; ++i) {
            caption[i] = i < untitled.size() ? untitled[i] : L'.';
        }
    }
    return copy;
}

}  // namespace

void ShutdownDialog::Open(const Shape& shape, const DialogContext& context) {
    const std::vector<BYTE> bytes = TemplateFor(shape, context.instance,
                                                context.german    ? IDD_SHUTDOWN_GERMAN
                                                : context.symbols ? IDD_SHUTDOWN_SYMBOLS
                                                                  : IDD_SHUTDOWN_ENGLISH);
    const auto* dialogTemplate = reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data());
    // Deleted when its window is: the window may outlive this call.
    auto* self = new ShutdownDialog(shape, context);
    const auto param = reinterpret_cast<LPARAM>(self);
    bool created = false;
    if (!bytes.empty() && shape.modal) {
        created =
            DialogBoxIndirectParamW(context.instance, dialogTemplate, nullptr, Proc, param) != -1;
    } else if (!bytes.empty()) {
        created = CreateDialogIndirectParamW(context.instance, dialogTemplate, nullptr, Proc,
                                             param) != nullptr;
        if (created && shape.hiddenMs == 0) {
            self->Show();
        }
    }
    if (!created) {
        (*context.log)("error").Word("what", "createdialog").Number("code", GetLastError());
        SendMessageW(context.control, kDialogClosed, 0, 0);
    }
}

INT_PTR CALLBACK ShutdownDialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<ShutdownDialog*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<ShutdownDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        if (self->shape_.ownThread) {
            PostQuitMessage(0);
        }
        delete self;
        return FALSE;
    }
    return self->Handle(message, wParam, lParam);
}

INT_PTR ShutdownDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const LineLog& log = *context_.log;
    switch (message) {
        case WM_INITDIALOG:
            Initialise();
            // FALSE: no focus is set while the dialog is hidden; the dialog manager gives
            // the first option the focus when the dialog is activated.
            return FALSE;
        case WM_ACTIVATE:
            log("activate").Number("state", LOWORD(wParam)).Hex("hwnd", dialog_);
            return FALSE;
        case WM_SHOWWINDOW:
            if (wParam != FALSE) {
                log("show").Hex("hwnd", dialog_).Hex("foreground", GetForegroundWindow());
            }
            return FALSE;
        case WM_WINDOWPOSCHANGED:
            // A modal dialog is shown by the dialog manager, not by Show.
            if (shape_.modal &&
                (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) != 0) {
                Shown();
            }
            return FALSE;
        case WM_TIMER:
            KillTimer(dialog_, wParam);
            if (wParam == kTimerShow) {
                Show();
            } else if (wParam == kTimerRetitle) {
                Retitle();
            } else {
                Forward();
            }
            return TRUE;
        case WM_COMMAND: {
            const WORD id = LOWORD(wParam);
            if (id == IDYES || id == IDNO || id == IDCANCEL) {
                Close(id == IDYES ? "yes" : (id == IDNO ? "no" : "cancel"));
            } else if (id == IDHELP) {
                log("help");
            } else {
                LogSelectionIfChanged();
            }
            return TRUE;
        }
        case kCloseDialog:
            Close("command");
            return TRUE;
        case kGetSelection:
            SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, Selection());
            return TRUE;
        default:
            return FALSE;
    }
}

void ShutdownDialog::Initialise() {
    CheckRadioButton(dialog_, IDC_OPTION_SHUTDOWN, IDC_OPTION_MSDOS, IDC_OPTION_SHUTDOWN);
    loggedSelection_ = Selection();
    (*context_.log)("create")
        .Hex("hwnd", dialog_)
        .Text("title", WindowText(dialog_))
        .Number("selection", loggedSelection_);
    if (SendMessageW(context_.control, kDialogOpened, 0, reinterpret_cast<LPARAM>(dialog_)) == 0) {
        PostMessageW(dialog_, kCloseDialog, 0, 0);
        return;
    }
    if (shape_.setForeground) {
        // What Windows does for DS_SETFOREGROUND while it creates the dialog, and Wine 8
        // does not: the dialog takes the front while it is hidden.
        SetForegroundWindow(dialog_);
    }
    if (shape_.titledMs > 0) {
        SetTimer(dialog_, kTimerRetitle, shape_.titledMs, nullptr);
    }
    if (shape_.hiddenMs > 0) {
        SetTimer(dialog_, kTimerShow, shape_.hiddenMs, nullptr);
    }
    // Work that takes a while: the dialog's queue fills meanwhile, and a modal loop shows
    // the dialog only once it has handled all of it.
    Sleep(shape_.busyMs);
}

void ShutdownDialog::Show() {
    if (shape_.activate) {
        ShowWindow(dialog_, SW_SHOW);
        SetForegroundWindow(dialog_);
    } else {
        ShowWindow(dialog_, SW_SHOWNOACTIVATE);
        if (shape_.forwardMs > 0) {
            SetTimer(dialog_, kTimerForward, shape_.forwardMs, nullptr);
        }
    }
    Shown();
}

void ShutdownDialog::Forward() {
    SetForegroundWindow(dialog_);
    (*context_.log)("forward").Hex("hwnd", dialog_).Hex("foreground", GetForegroundWindow());
}

void ShutdownDialog::Shown() {
    (*context_.log)("shown").Hex("hwnd", dialog_).Hex("foreground", GetForegroundWindow());
    SendMessageW(context_.control, kDialogShown, 0, 0);
}

void ShutdownDialog::Retitle() {
    SetWindowTextW(dialog_, context_.german ? kGermanTitle : kEnglishTitle);
    (*context_.log)("retitle").Hex("hwnd", dialog_).Text("title", WindowText(dialog_));
}

void ShutdownDialog::Close(const char* by) {
    (*context_.log)("close").Word("by", by).Number("selection", Selection());
    SendMessageW(context_.control, kDialogClosed, 0, reinterpret_cast<LPARAM>(dialog_));
    // The last call: the window's end deletes this object.
    shape_.modal ? (void)EndDialog(dialog_, 0) : (void)DestroyWindow(dialog_);
}

LRESULT ShutdownDialog::Selection() const {
    for (size_t i = 0; i < kOptionIds.size(); ++i) {
        if (IsDlgButtonChecked(dialog_, kOptionIds[i]) == BST_CHECKED) {
            return static_cast<LRESULT>(i);
        }
    }
    return kNoSelection;
}

void ShutdownDialog::LogSelectionIfChanged() {
    const LRESULT selection = Selection();
    if (selection == loggedSelection_) {
        return;
    }
    loggedSelection_ = selection;
    std::wstring caption;
    if (selection >= 0) {
        caption = WindowText(GetDlgItem(dialog_, kOptionIds[static_cast<size_t>(selection)]));
    }
    (*context_.log)("selection").Number("index", selection).Text("text", caption);
}

}  // namespace standin
