#pragma once
// PlatformShell: everything the two programs ask of the desktop. The programs' logic
// is written against this class only; one implementation drives real Win32 windows,
// the other is an in-memory desktop that tests script.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/form.h"
#include "desktop/key_strokes.h"

namespace desktop {

// The one failure type of desktop operations (typing, launching, activating).
class DesktopError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Window handles are signed 32-bit values; greater than 0 means found.
using WindowHandle = std::int32_t;
using Millis = std::chrono::milliseconds;

// ShowMessage styles and answers, with their classic values.
inline constexpr int kStyleCriticalOk = 16;
inline constexpr int kStyleQuestionYesNo = 36;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// LaunchProgram's window style: a normal window that takes the focus.
inline constexpr int kNormalFocus = 1;

// A window found under one of several titles: `title` indexes the list looked for.
struct TitledWindow {
    WindowHandle handle = 0;
    std::size_t title = 0;
    // The last moment the window was known not to exist or to have none of the titles:
    // until then the user cannot have seen it under one.
    Millis untitledAt{0};
};

// What a title search looks at: every window, or what changed since the last look.
enum class DesktopLook { Whole, Changes };

class PlatformShell {
  public:
    virtual ~PlatformShell() = default;
    PlatformShell() = default;
    PlatformShell(const PlatformShell&) = delete;
    PlatformShell& operator=(const PlatformShell&) = delete;

    // ---- Desktop operations ------------------------------------------------------
    // A top-level window, visible or not, whose title equals `title` ignoring case.
    virtual WindowHandle FindWindowA(std::u16string_view title) = 0;
    // The first of `titles` that some top-level window has, and the topmost window with
    // that title (whole, ignoring case); handle 0 when none has. Made for a caller that
    // looks all day. A look at the Changes reads only the windows the system reported
    // changed since the last look, those found before, and the window in front; a Whole
    // one (a re-check) may list every window as well (where creation is reported, every
    // 2 s), but reads a title read earlier again only now and then, so a window renamed
    // behind the others unreported may be found late (its untitledAt then says so).
    virtual TitledWindow FindWindowTitled(std::span<const std::u16string_view> titles,
                                          DesktopLook look = DesktopLook::Whole);
    // Whether the system has been seen to report creations, renames, shows and changes
    // of the foreground to this program, and never seen to miss one: then a watcher need
    // look on its own only now and then, to be safe.
    virtual bool ReportsEveryChange() { return false; }

    // Types into the window that has the focus. Parses first: a malformed string
    // throws DesktopError before anything is typed. With `wait` it returns only once
    // the receiving program has handled the keys.
    void SendKeystrokes(std::u16string_view keys, bool wait);
    // As SendKeystrokes, but only into `target`'s program: returns false, having typed
    // nothing, when `target` is not the foreground window at the start; keys after the
    // first go on while any window of that program is in front (they may open its menus
    // and dialogs), and throw DesktopError, typing no more, once another program is.
    bool SendKeystrokesInto(WindowHandle target, std::u16string_view keys, bool wait);

    // Delivers the keys to `target` alone, as the messages its queue would receive were
    // they typed with it in focus, whichever window has the focus meanwhile: no other
    // program can receive them. Right for keys a window's own message loop acts on (a
    // dialog's access letters); wrong for keys that open menus or move the focus between
    // windows. Parses first, as SendKeystrokes does. False when the window is gone.
    bool PostKeystrokes(WindowHandle target, std::u16string_view keys);

    // Runs every pending event of this program, then returns; never waits.
    virtual void PumpEvents() = 0;
    // A message box owned by the active form; every form waits for the answer.
    int ShowMessage(std::u16string_view prompt, int style, std::u16string_view title);
    virtual void Beep() = 0;
    virtual std::u16string CommandLineText() = 0;
    virtual std::u16string CurrentDirectory() = 0;

    // Profile files. `buffer` plays the caller's fixed character buffer: the value (or
    // the default) cut to size - 1 bytes of the ANSI code page, then a NUL, is written
    // over its start; characters after the NUL are left as they were. Returns the
    // number of characters copied.
    virtual int GetPrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                         std::u16string_view defaultValue, std::u16string& buffer,
                                         int size, std::u16string_view path) = 0;
    // Writes the value, creating file and section as needed; keeps every other line.
    // Returns false when the file could not be written.
    virtual bool WritePrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                            std::u16string_view value,
                                            std::u16string_view path) = 0;
    // The Windows directory then a NUL, over the start of `buffer`. Returns its length;
    // too small a buffer gets nothing, and the size it would need.
    virtual int GetWindowsDirectoryA(std::u16string& buffer, int size) = 0;
    // The same for the system directory (C:\WINDOWS\SYSTEM on 95 to ME, ...\SYSTEM32 on NT).
    virtual int GetSystemDirectoryA(std::u16string& buffer, int size) = 0;

    // Starts the program at `path` (never through a command line split at spaces)
    // without waiting for it. Returns its task (process) id; throws DesktopError when
    // it cannot be started.
    virtual int LaunchProgram(std::u16string_view path, int windowStyle) = 0;
    // Brings the top-level window titled `title` to the front with the focus; throws
    // DesktopError when there is none.
    virtual void ActivateWindow(std::u16string_view title) = 0;
    // Ends the process at once; no close, query or unload handler runs.
    [[noreturn]] virtual void EndProgram() = 0;

    // Upper-cases by the system's case rules.
    virtual std::u16string UpperCase(std::u16string_view text) = 0;
    // Whether `text` survives the ANSI code page unchanged, as profile files and window
    // titles take it: false when some character would be stored as another.
    virtual bool AnsiCodePageHolds(std::u16string_view text) = 0;

    // ---- Other programs' windows and the user ------------------------------------
    virtual WindowHandle ForegroundWindow() = 0;
    // Whether a top-level window is on screen ready for keys: visible, not minimised,
    // and showing at least one of its controls. A dialog can exist, and even be the
    // foreground window, before its dialog manager shows it; keys it gets then are lost.
    virtual bool WindowShown(WindowHandle window) = 0;
    // Counts the user's key presses and mouse clicks anywhere on the desktop while on;
    // typing done by this program is not counted, nor are mouse moves (Wine makes one
    // whenever a window is shown under a resting pointer). On, every input event of the
    // session makes a round trip into this program: turn it on only while needed.
    virtual void CountUserPresses(bool on) = 0;
    virtual int UserPresses() = 0;
    // The task id owning a window, 0 when there is no such window.
    virtual int WindowTask(WindowHandle window) = 0;

    // ---- Waiting without spinning ------------------------------------------------
    // Blocks until the system reports a change of another program's top-level windows,
    // this program has events pending, or `limit` passes. Once FindWindowTitled has been
    // used, only changes that may change what it finds count: the foreground changes, a
    // window is renamed or made with one of the titles last looked for, or one found
    // under them is shown, hidden or destroyed. Returns false only at the limit. Runs no
    // events itself.
    virtual bool WaitForDesktopChange(Millis limit) = 0;
    // Until the started task waits for input; false at the limit.
    virtual bool WaitForInputIdle(int task, Millis limit) = 0;
    // Monotonic time for bounds.
    virtual Millis Now() = 0;

    // ---- Forms toolkit -----------------------------------------------------------
    // Loads the form if needed (Load), makes it visible and activates it (Activate).
    void Show(Form& form);
    // As Show; returns once the form has been unloaded. While it is up the owner (or,
    // with no owner, every other form) is disabled.
    void ShowModal(Form& form, Form* owner);
    // Unload by code: QueryUnload (mode 1), then Unload. False when a handler cancelled.
    bool Unload(Form& form) { return RequestUnload(form, kUnloadCode); }
    // How many modal windows (forms and message boxes) the program has put up. One put up
    // inside an event a caller runs holds the caller's own code until it closes: noted
    // before and after, this tells the caller it was held.
    int ModalWindowsShown() const { return modalWindowsShown_; }

  protected:
    // ---- For implementations ----------------------------------------------------
    // Types already-parsed strokes; see SendKeystrokesInto for `onlyInto` (0 = any).
    virtual bool TypeStrokes(const KeySequence& strokes, bool wait, WindowHandle onlyInto) = 0;
    virtual bool PostStrokes(const KeySequence& strokes, WindowHandle target) = 0;
    // Shows a message box and returns the answer. The box disables `owner` (null: no
    // form) itself while it is up, as the system's box does; ShowMessage the rest.
    virtual int RunMessageBox(std::u16string_view prompt, int style, std::u16string_view title,
                              Form* owner) = 0;
    // Creates the window of a form, invisible, with every control of its layout.
    virtual std::unique_ptr<FormWindow> CreateFormWindow(Form& form, Form* owner) = 0;
    // Makes the form visible and brings it to the front with the focus.
    virtual void Present(Form& form) = 0;
    virtual void SetFormEnabled(Form& form, bool enabled) = 0;
    // Runs the program's events (waiting for them without spinning) until `form` is
    // no longer loaded.
    virtual void RunModalLoop(Form& form) = 0;

    // An unload started from outside (close box 0, task list 3) or by code (1).
    bool RequestUnload(Form& form, int unloadMode);
    // End of the Windows session: asks every loaded form (mode 2); true when none
    // cancelled.
    bool QuerySessionEnd();
    // The session really ends: every loaded form is unloaded, most recent first.
    void EndSession();
    // Drops every window without raising events: for a desktop being torn down after
    // the program ended, when its forms may already be gone.
    void DiscardWindows();

  private:
    void LoadOwned(Form& form, Form* owner);
    void ShowOwned(Form& form, Form* owner);
    void Activate(Form& form);
    void Destroy(Form& form);
    // Loaded forms but `form`.
    std::vector<Form*> OthersThan(const Form* form) const;
    // Disables `forms` until Release gives back the last hold on each.
    void HoldOff(const std::vector<Form*>& forms);
    void Release(const std::vector<Form*>& forms);

    struct LoadedWindow {
        Form* form;
        std::unique_ptr<FormWindow> window;
    };
    std::vector<LoadedWindow> windows_;
    std::vector<Form*> loaded_;
    std::vector<Form*> heldOff_;  // once per modal form or message box holding it
    Form* activeForm_ = nullptr;
    int modalWindowsShown_ = 0;
};

}  // namespace desktop
