#include "e2e/driver/own_form.h"

#include <stdexcept>

#include "desktop/win32/win32_shell.h"
#include "e2e/driver/wait.h"

namespace e2e {
namespace {

class LayoutOnly final : public desktop::Form {
  public:
    LayoutOnly(desktop::PlatformShell& shell, const desktop::FormLayout& layout)
        : Form(shell), layout_(layout) {}
    const desktop::FormLayout& Layout() const override { return layout_; }

  private:
    const desktop::FormLayout& layout_;
};

}  // namespace

struct OwnForm::Parts {
    explicit Parts(const desktop::FormLayout& layout) : shell(system), form(shell, layout) {}
    desktop::win32::SystemFunctions system;
    desktop::win32::Win32Shell shell;
    LayoutOnly form;
};

OwnForm::OwnForm(const desktop::FormLayout& layout) : parts_(std::make_unique<Parts>(layout)) {
    parts_->shell.Show(parts_->form);
    // The toolkit shows a form at the next turn of the message loop.
    if (!WaitUntil([&] { return IsWindowVisible(Handle()) != FALSE; })) {
        throw std::runtime_error("form " + layout.name + " did not come up");
    }
}

OwnForm::~OwnForm() { parts_->shell.Unload(parts_->form); }

HWND OwnForm::Handle() const {
    return static_cast<desktop::win32::Win32FormWindow&>(parts_->form.Window()).Handle();
}

}  // namespace e2e
