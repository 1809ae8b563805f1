#pragma once
// What every thread of a stand-in that has windows runs: the key logger and the loop.
//
// The key logger is a WH_GETMESSAGE hook on the thread. It sees each message that any
// loop of the thread takes from the queue (the stand-in's own loop, the dialog manager's
// modal loop inside DialogBox, a menu's loop) before that loop gets it, so every key
// message a window of the thread receives is logged once, before the dialog manager or
// a menu acts on it:
//   key msg=WM_SYSKEYDOWN key=R wparam=0x00000052 lparam=0x20130001 hwnd=0x00010064
//       class=Button id=1002 top="Shut Down Windows"
//   key msg=WM_SYSCHAR char="r" wparam=... (as above)
// `top` is the title of the window's top-level window. A key message whose repeat count
// (lparam's low word) is 0 came from no keyboard: the menu code posts such messages to
// itself.
#include <windows.h>

#include "e2e/standin/line_log.h"

namespace standin {

class KeyLogger {
  public:
    explicit KeyLogger(const LineLog& log);
    ~KeyLogger();
    KeyLogger(const KeyLogger&) = delete;
    KeyLogger& operator=(const KeyLogger&) = delete;

  private:
    HHOOK hook_;
};

// Runs the thread's messages until WM_QUIT and returns its exit code. A message for a
// modeless dialog goes through that dialog's manager (IsDialogMessage), which acts on
// Tab, arrows and access letters.
int RunMessageLoop();

}  // namespace standin
