#pragma once
// The stand-in's hidden control window: it takes the tests' commands (protocol.h), opens
// the dialog in the shape asked for and keeps track of it.
#include <windows.h>

#include <optional>
#include <string_view>

#include "e2e/standin/arguments.h"
#include "e2e/standin/shutdown/other_windows.h"
#include "e2e/standin/shutdown/shutdown_dialog.h"

namespace standin {

class ControlWindow {
  public:
    ControlWindow(const DialogContext& context, OtherWindows& others)
        : context_(context), others_(others) {}

    bool Create();

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(std::wstring_view text);
    LRESULT Open(const Shape& shape);
    void Start();
    LRESULT Close();
    // A dialog of the shape "thread" opens on a thread of its own.
    struct DialogThreadStart {
        Shape shape;
        DialogContext context;
    };
    static DWORD WINAPI RunDialogThread(void* start);

    DialogContext context_;
    OtherWindows& others_;
    // From "open" until the dialog closes.
    std::optional<Shape> opening_;
    HWND dialog_ = nullptr;
};

}  // namespace standin
