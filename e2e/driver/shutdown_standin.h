#pragma once
// The test's side of the shutdown stand-in (standin_shutdown.exe): starts it, sends it
// commands, finds its windows and reads its log.
#include <windows.h>

#include <string>

#include "e2e/driver/event_log.h"
#include "e2e/driver/process.h"
#include "e2e/driver/wait.h"

namespace e2e {

struct StandInOptions {
    bool german = false;
    bool symbols = false;  // access characters that need Shift (protocol.h)
    bool bystander = false;
};

class ShutdownStandIn {
  public:
    // Starts the stand-in from the exe folder with a new log in `folder`, and waits
    // until it takes commands (and, with `bystander`, until its Bystander window is the
    // foreground window). Throws std::runtime_error when it does not come up.
    static ShutdownStandIn Start(const std::wstring& folder, StandInOptions options = {});

    // Sends one command (see e2e/standin/shutdown/protocol.h) and returns the stand-in's answer.
    // Throws std::runtime_error when the stand-in does not answer.
    LRESULT Command(const std::wstring& text) const;
    // The dialog's title in this stand-in's language.
    std::wstring DialogTitle() const;
    // The dialog window, hidden or shown; nullptr when there is none.
    HWND Dialog() const;
    // Waits until the dialog is shown and is the foreground window.
    HWND WaitForActiveDialog(Millis timeout = kDefaultTimeout) const;
    // Leaves the desktop as it is for `hold`, as the stand-in's own timer measures it; then
    // its Focus Thief takes the foreground. False when the stand-in never got there.
    bool StealAfter(Millis hold) const;
    // Waits until the log reports the option at `index` as the open dialog's selection.
    bool WaitForSelection(int index, Millis timeout = kDefaultTimeout) const;
    HWND Bystander() const;
    HWND Thief() const;

    const EventLog& Log() const { return log_; }
    const Process& Proc() const { return process_; }

  private:
    ShutdownStandIn(Process process, EventLog log, StandInOptions options, HWND control)
        : process_(std::move(process)),
          log_(std::move(log)),
          options_(options),
          control_(control) {}

    Process process_;
    EventLog log_;
    StandInOptions options_;
    HWND control_ = nullptr;
};

}  // namespace e2e
