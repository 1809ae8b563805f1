#include "e2e/standin/shutdown/control_window.h"

#include <memory>
#include <string>

#include "e2e/standin/key_logger.h"
#include "e2e/standin/shutdown/protocol.h"

namespace standin {

namespace {

constexpr wchar_t kControlClass[] = L"StandinShutdownControl";
constexpr UINT_PTR kTimerSteal = 1;
constexpr UINT kStartModal = WM_APP + 10;

Shape ReadShape(Arguments& words) {
    const UINT forwardMs = words.Number(L"forward").value_or(0);
    // A dialog brought forward later is shown without taking the front.
    return {.modal = words.Flag(L"modal"),
            .setForeground = words.Flag(L"foreground"),
            .activate = !words.Flag(L"noactivate") && forwardMs == 0,
            .ownThread = words.Flag(L"thread"),
            .hiddenMs = words.Number(L"hidden").value_or(0),
            .titledMs = words.Number(L"titled").value_or(0),
            .forwardMs = forwardMs,
            .busyMs = words.Number(L"busy").value_or(0),
            .thiefMs = words.Number(L"thief")};
}

// The dialog manager shows a modal dialog itself, and shows it activated.
bool Combines(const Shape& shape) {
    return !(shape.modal && (shape.hiddenMs > 0 || !shape.activate)) &&
           !(shape.setForeground && !shape.activate);
}

}  // namespace

bool ControlWindow::Create() {
    WNDCLASSW control{};
    control.lpfnWndProc = Proc;
    control.hInstance = context_.instance;
    control.lpszClassName = kControlClass;
    RegisterClassW(&control);
    return CreateWindowExW(0, kControlClass, kControlTitle, WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                           nullptr, context_.instance, this) != nullptr;
}

LRESULT CALLBACK ControlWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<ControlWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->context_.control = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, wParam, lParam)
                           : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ControlWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const LineLog& log = *context_.log;
    switch (message) {
        case WM_COPYDATA: {
            const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data.dwData != kCommandTag) {
                return kUnknownCommand;
            }
            const std::wstring_view text(static_cast<const wchar_t*>(data.lpData),
                                         data.cbData / sizeof(wchar_t));
            log("command").Text("text", text);
            return OnCommand(text);
        }
        case WM_TIMER:
            KillTimer(context_.control, wParam);
            others_.Steal();
            return 0;
        case kStartModal:
            Start();
            return 0;
        case kDialogOpened:
            if (!opening_) {
                return 0;
            }
            dialog_ = reinterpret_cast<HWND>(lParam);
            return 1;
        case kDialogShown:
            if (opening_ && opening_->thiefMs == 0U) {
                others_.Steal();
            } else if (opening_ && opening_->thiefMs) {
                SetTimer(context_.control, kTimerSteal, *opening_->thiefMs, nullptr);
            }
            return 0;
        case kDialogClosed:
            // One called off on its way is not the one open now.
            if (reinterpret_cast<HWND>(lParam) == dialog_) {
                dialog_ = nullptr;
                opening_.reset();
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(context_.control, message, wParam, lParam);
    }
}

LRESULT ControlWindow::OnCommand(std::wstring_view text) {
    Arguments words(text);
    const std::wstring verb = words.Verb();
    const Shape shape = verb == L"open" ? ReadShape(words) : Shape{};
    const UINT stealDelay = verb == L"steal" ? words.Number(L"delay").value_or(0) : 0;
    if (!words.Unused().empty() || !words.Bad().empty() || !Combines(shape)) {
        return kUnknownCommand;
    }
    if (verb == L"open") {
        return Open(shape);
    }
    if (verb == L"close") {
        return Close();
    }
    if (verb == L"selection") {
        return dialog_ != nullptr ? SendMessageW(dialog_, kGetSelection, 0, 0) : kNoSelection;
    }
    if (verb == L"steal") {
        stealDelay == 0 ? others_.Steal()
                        : (void)SetTimer(context_.control, kTimerSteal, stealDelay, nullptr);
        return 1;
    }
    return kUnknownCommand;
}

LRESULT ControlWindow::Open(const Shape& shape) {
    if (opening_) {
        return 0;
    }
    opening_ = shape;
    if (shape.modal && !shape.ownThread) {
        // DialogBox returns only when the dialog closes: the command is answered first.
        PostMessageW(context_.control, kStartModal, 0, 0);
    } else {
        Start();
    }
    return 1;
}

DWORD WINAPI ControlWindow::RunDialogThread(void* parameter) {
    const std::unique_ptr<DialogThreadStart> start(static_cast<DialogThreadStart*>(parameter));
    const KeyLogger keys(*start->context.log);
    ShutdownDialog::Open(start->shape, start->context);
    RunMessageLoop();
    return 0;
}

void ControlWindow::Start() {
    if (!opening_ || dialog_ != nullptr) {
        return;
    }
    const Shape shape = *opening_;
    if (shape.ownThread) {
        // CreateThread rather than std::thread: the tree builds with the win32 thread
        // model, whose C++ library has no threads.
        auto* start = new DialogThreadStart{shape, context_};
        HANDLE thread = CreateThread(nullptr, 0, RunDialogThread, start, 0, nullptr);
        if (thread == nullptr) {
            delete start;
        } else {
            CloseHandle(thread);
        }
    } else {
        ShutdownDialog::Open(shape, context_);
    }
}

LRESULT ControlWindow::Close() {
    HWND dialog = dialog_;
    if (dialog != nullptr) {
        SendMessageW(dialog, kCloseDialog, 0, 0);
    }
    dialog_ = nullptr;
    opening_.reset();
    return dialog != nullptr ? 1 : 0;
}

}  // namespace standin
