#pragma once
// The launcher's only form. Its load does the whole run: start the volume control, turn
// it to its recording view, bring "Recording Control" to the front, and end before the
// form is ever seen.
#include "desktop/form.h"
#include "desktop/platform_shell.h"

namespace launcher {

// How long the launcher waits for the volume control, all told, before giving up.
inline constexpr desktop::Millis kPatience{30000};

// Form1's design on its own: no run of the launcher ever shows the form, so the
// end-to-end checks make its window from this.
const desktop::FormLayout& Form1Layout();

class Form1 : public desktop::Form {
  public:
    explicit Form1(desktop::PlatformShell& shell) : Form(shell) {}
    const desktop::FormLayout& Layout() const override;
    void Form_Load() override;

  private:
    void Run();
    // Starts the volume control, from the Windows folder or else the system folder;
    // returns its task.
    int LaunchVolumeControl();
    // Waits, without spinning, until `ready` holds; false once `deadline` has come.
    template <typename Condition>
    bool WaitFor(desktop::Millis deadline, Condition ready);
    // As WaitFor, but ends the program at the deadline.
    template <typename Condition>
    void WaitUntil(desktop::Millis deadline, Condition ready);
};

}  // namespace launcher
