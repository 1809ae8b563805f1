#pragma once
// The options dialog: edits the shortcut key and the hide flag and saves them.
#include "desktop/form.h"

namespace preselector {

class Preselector;

// The options dialog's design on its own: the end-to-end checks hold the real window
// against it.
const desktop::FormLayout& frmDormellosLayout();

class frmDormellos : public desktop::Form {
  public:
    explicit frmDormellos(Preselector& app);
    const desktop::FormLayout& Layout() const override;

    void Form_Load() override;
    void OnClick(std::string_view control) override;
    void OnChange(std::string_view control) override;
    void txtShutDownOption_Change();
    void cmdSave_Click();
    void cmdCancel_Click();

  private:
    Preselector& app_;
    // The box's text as last accepted. A character the settings file cannot hold is
    // refused as a second character is: the box keeps this, so what Save writes is what
    // the box shows.
    std::u16string accepted_;
};

}  // namespace preselector
