#pragma once
// The stand-in's windows besides the dialog: the Focus Thief, which takes the foreground
// when told to, and the Bystander, a plain window whose edit control has the focus, the
// window that must get no keys in "nothing else is typed into" tests.
#include <windows.h>

#include "e2e/standin/line_log.h"

namespace standin {

class OtherWindows {
  public:
    OtherWindows(HINSTANCE instance, const LineLog& log);

    bool CreateBystander();
    // Shows the Focus Thief (created the first time) and gives it the foreground.
    void Steal();

  private:
    HINSTANCE instance_;
    const LineLog& log_;
    HWND thief_ = nullptr;
};

}  // namespace standin
