#pragma once
// A form made in this process by the real Win32 toolkit (desktop/win32), for a form that
// no run of its program leaves on the screen: its window is the one the program makes.
#include <windows.h>

#include <memory>

#include "desktop/form_layout.h"

namespace e2e {

class OwnForm {
  public:
    // Shows a form with `layout` and no handlers, as the program's shell shows it.
    // Throws std::runtime_error when it does not come up.
    explicit OwnForm(const desktop::FormLayout& layout);
    ~OwnForm();
    OwnForm(const OwnForm&) = delete;
    OwnForm& operator=(const OwnForm&) = delete;

    HWND Handle() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace e2e
