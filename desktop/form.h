#pragma once
// A form is its layout (data) plus its event handlers (logic). The toolkit of a
// PlatformShell owns the real or simulated window and calls the handlers below.
#include <string>
#include <string_view>

#include "desktop/form_layout.h"

namespace desktop {

class PlatformShell;

// Why a form is being unloaded, as QueryUnload reports it.
enum UnloadMode : int {
    kUnloadControlMenu = 0,  // close box or control menu
    kUnloadCode = 1,
    kUnloadSessionEnding = 2,
    kUnloadTaskList = 3,
};

// The loaded window behind a form; properties a handler reads and sets.
class FormWindow {
  public:
    virtual ~FormWindow() = default;
    virtual void SetCaption(std::u16string_view caption) = 0;
    virtual std::u16string Caption() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() const = 0;
    virtual void Minimise() = 0;
    virtual bool Minimised() const = 0;
    // Assigning a text box a different text raises its Change event before returning.
    virtual void SetText(std::string_view control, std::u16string_view text) = 0;
    virtual std::u16string Text(std::string_view control) const = 0;
    virtual void SetValue(std::string_view control, int value) = 0;  // check box: 0 or 1
    virtual int Value(std::string_view control) const = 0;
};

class Form {
  public:
    explicit Form(PlatformShell& shell) : shell_(shell) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    virtual const FormLayout& Layout() const = 0;

    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_QueryUnload(int& /*cancel*/, int /*unloadMode*/) {}
    virtual void Form_Unload() {}
    // Click and Change of a control, by the control's name.
    virtual void OnClick(std::string_view /*control*/) {}
    virtual void OnChange(std::string_view /*control*/) {}

    // Toolkit side: the window while the form is loaded, null otherwise.
    void AttachWindow(FormWindow* window) { window_ = window; }
    bool Loaded() const { return window_ != nullptr; }
    FormWindow& Window();

  protected:
    PlatformShell& Shell() { return shell_; }

  private:
    PlatformShell& shell_;
    FormWindow* window_ = nullptr;
};

}  // namespace desktop
