#pragma once
// The main window: which key is in force and where it came from, the buttons, and the
// watcher, which runs inside it from its first activation until the program ends.
#include <deque>
#include <optional>

#include "desktop/form.h"
#include "desktop/platform_shell.h"

namespace preselector {

class Preselector;

// The main window's design on its own: the end-to-end checks hold the real window
// against it.
const desktop::FormLayout& frmDormelloLayout();

class frmDormello : public desktop::Form {
  public:
    explicit frmDormello(Preselector& app);
    const desktop::FormLayout& Layout() const override;

    std::u16string DormelloString() const;
    [[noreturn]] void RunWatcher();
    bool ConfirmExit();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    void Form_Unload() override;
    void OnClick(std::string_view control) override;
    void cmdChangeOptions_Click();
    void cmdExit_Click();
    void cmdHide_Click();
    void cmdMinimise_Click();

  private:
    // The shutdown dialog when a window with either title exists; sets FoundTitle to the
    // title it was found under. A look over the whole desktop when a re-check is due, else
    // at what changed.
    desktop::TitledWindow LookForShutdownDialog();
    // How often the watcher looks over the whole desktop on its own: often where the
    // system leaves changes unreported, seldom where it has been seen to report them all.
    desktop::Millis RecheckInterval();
    desktop::Millis UntilRecheck();
    // A look at the desktop: when, and how many modal windows the program had put up.
    struct Look {
        desktop::Millis at{0};
        int modalWindows = 0;
    };
    Look LookNow();
    // How many modal windows the program had put up as of `at`, as far as the looks tell:
    // counted at the first look after each one came up.
    int ModalWindowsAsOf(desktop::Millis at);
    // Types Alt plus the key into `dialog` once, if it comes to the front in its first
    // moments on screen, counted from `unseen` (the last look that could not have shown
    // it to the user), and before the user presses a key or clicks. Otherwise the
    // appearance is left alone: a later key could overrule a choice already made.
    void AnswerWhileFresh(desktop::WindowHandle dialog, Look unseen);
    bool Answered(desktop::WindowHandle dialog) const;

    Preselector& app_;
    // The dialogs most recently answered. A window keeps its handle while it exists, so
    // a handle seen again is the same appearance, never a new one.
    std::deque<desktop::WindowHandle> answered_;
    std::optional<desktop::Millis> lastWholeLook_;
    int wholeLookModal_ = -1;  // ModalWindowsShown at the last whole look
    // The looks at which the count of modal windows was new, the latest few.
    std::deque<Look> modalChanges_;
};

}  // namespace preselector
