#pragma once
// One appearance of the stand-in's shutdown dialog, from its creation to its close, on
// the thread that creates it. It tells the control window what happens by messages sent
// to it, which work from any thread, and takes the control window's requests the same way.
#include <windows.h>

#include <optional>

#include "e2e/standin/line_log.h"

namespace standin {

// The shape of one opening (the "open" command in protocol.h).
struct Shape {
    bool modal = false;
    bool setForeground = false;
    bool activate = true;
    bool ownThread = false;
    UINT hiddenMs = 0;
    UINT titledMs = 0;
    UINT forwardMs = 0;
    UINT busyMs = 0;
    std::optional<UINT> thiefMs;
};

// Sent by the dialog to the control window. Opened's lParam is the dialog; the answer 0
// closes it at once (the opening was called off while it was on its way).
inline constexpr UINT kDialogOpened = WM_APP + 1;
inline constexpr UINT kDialogShown = WM_APP + 2;
inline constexpr UINT kDialogClosed = WM_APP + 3;
// Sent by the control window to the dialog.
inline constexpr UINT kCloseDialog = WM_APP + 4;
inline constexpr UINT kGetSelection = WM_APP + 5;  // answers the index, or kNoSelection

struct DialogContext {
    HINSTANCE instance;
    bool german;
    bool symbols;
    const LineLog* log;
    HWND control;
};

class ShutdownDialog {
  public:
    // Creates the dialog on the calling thread. A modal one runs in DialogBox: this returns
    // once it has closed. A modeless one runs in the thread's message loop; on a thread of
    // its own, it ends that loop when it goes.
    static void Open(const Shape& shape, const DialogContext& context);

  private:
    ShutdownDialog(const Shape& shape, const DialogContext& context)
        : shape_(shape), context_(context) {}

    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    void Show();
    void Shown();
    void Retitle();
    void Forward();
    void Close(const char* by);
    LRESULT Selection() const;
    void LogSelectionIfChanged();

    Shape shape_;
    DialogContext context_;
    HWND dialog_ = nullptr;
    LRESULT loggedSelection_ = -1;
};

}  // namespace standin
