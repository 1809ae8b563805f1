#pragma once
// An in-memory desktop that tests script. It holds other programs' top-level windows,
// the focus, the keys each window received, message boxes with scripted answers,
// launches, and the program's own forms. Time is virtual: waiting moves the script on,
// so no test sleeps. When the script runs out while the program waits, the program is
// ended as EndProgram ends it, so tests of never-returning loops finish.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/platform_shell.h"
#include "desktop/tick_clock.h"
#include "desktop/window_search.h"

namespace desktop::sim {

class SimulatedDesktop;

// Thrown through the program's code when it ends; never a DesktopError, so no
// failure trap of the program catches it.
struct ProgramEnded {
    bool byScript = false;  // the script ran out, rather than the program ending itself
};

// One scripted happening, applied `delay` after the previous one.
struct Step {
    std::string description;
    std::function<void(SimulatedDesktop&)> apply;
    Millis delay{0};
    // Reports nothing and wakes no WaitForDesktopChange: the program notices only when it
    // looks again, as with a change the system failed to report.
    bool unreported = false;
    Step After(Millis d) && {
        delay = d;
        return std::move(*this);
    }
    Step Unreported() && {
        unreported = true;
        return std::move(*this);
    }
};

// Other programs' windows. A hidden window exists (the title search finds it) but is not
// shown; it can still take the front, as a dialog does during its creation.
Step OpenWindow(const std::u16string& title, bool takeFocus = true, int task = 0);
Step OpenHiddenWindow(const std::u16string& title, bool takeFocus = false);
Step ShowWindow(const std::u16string& title, bool takeFocus = true);
Step CloseWindow(const std::u16string& title);
// Its program retitles the window.
Step RenameWindow(const std::u16string& from, const std::u16string& to);
// A program brings its window to the front.
Step FocusWindow(const std::u16string& title);
// The user clicks another program's window, which comes to the front.
Step ClickWindow(const std::u16string& title);
// The user on the program's forms. Every user step counts as the user's input.
Step Click(const std::string& form, const std::string& control);
Step TypeText(const std::string& form, const std::string& control, const std::u16string& text);
// Selects everything in a text box and types `text` over it.
Step ReplaceText(const std::string& form, const std::string& control, const std::u16string& text);
Step PressEnter(const std::string& form);   // the default button
Step PressEscape(const std::string& form);  // the cancel button
Step PressTab(const std::string& form);     // the focus to the next tab stop
Step SetCheck(const std::string& form, const std::string& control, int value);
Step CloseBox(const std::string& form);
Step TaskListClose(const std::string& form);
Step EndSession();
// Answers the message box that is up (fails the test when none is).
Step Answer(int button);
// Nothing happens for a while.
Step Idle(Millis duration);

// How another program's window is on screen. Bare: shown, but none of its controls yet,
// as a dialog is before its dialog manager shows them.
enum class Look { Shown, Hidden, Bare, Minimised };

struct MessageShown {
    std::u16string prompt;
    int style = 0;
    std::u16string title;
    int answer = 0;
};

struct KeysTyped {
    std::u16string window;  // title of the receiving window, or the program's form name
    std::u16string keys;    // in key syntax, e.g. "%R"
    Millis at{0};
};

class SimulatedDesktop : public PlatformShell, private WindowSearch::System {
  public:
    SimulatedDesktop();
    ~SimulatedDesktop() override;

    // ---- Set-up -------------------------------------------------------------------
    // Of other programs' changes only window creation is reported, as under Wine 8 (and
    // nothing at all, as on Windows 95, with every step made Unreported). By default
    // every creation, show, hide, rename, destruction and change of foreground is.
    void ReportCreationOnly() { reportsAll_ = false; }
    void SetCommandLine(std::u16string text) { commandLine_ = std::move(text); }
    // The current directory as the program sees it, e.g. u"C:\\TOOLS".
    void SetCurrentDirectory(std::u16string path) { currentDirectory_ = std::move(path); }
    void SetWindowsDirectory(std::u16string path) { windowsDirectory_ = std::move(path); }
    void SetSystemDirectory(std::u16string path) { systemDirectory_ = std::move(path); }
    // Now() reads the clock as a Windows without GetTickCount64 does: a 32-bit tick count,
    // here at `ticks` when the clock reads 0 (just before the count wraps, say), through
    // the same TickClock the real desktop uses there.
    void ReadTicksFrom(std::uint32_t ticks) { tickStart_ = ticks; }
    // Maps a Windows folder (e.g. u"C:\\TOOLS") onto a real folder for profile files.
    // Paths outside every mapped folder cannot be read or written.
    void MapFolder(std::u16string windowsFolder, std::filesystem::path hostFolder);
    std::filesystem::path HostPath(std::u16string_view windowsPath) const;
    // A program LaunchProgram can start; `onLaunch` runs at the launch with its task id.
    void AddProgram(const std::u16string& path,
                    std::function<void(SimulatedDesktop&, int)> onLaunch);
    // Runs when keys are typed into the window titled `title`.
    void OnKeys(std::u16string title,
                std::function<void(SimulatedDesktop&, const KeySequence&)> reaction);

    SimulatedDesktop& Then(Step step);
    // Puts a step next in line, before the rest of the script: how a launched program
    // schedules what it does.
    void Insert(Step step);

    // Runs the program's entry routine until it ends (by EndProgram or because the
    // script ran out). Returns true when the program ended itself.
    bool Run(const std::function<void()>& program);

    // ---- Immediate changes (also what the steps apply) ----------------------------
    // A hidden window may still take the front, as a dialog does during its creation. A
    // new window goes on top of the others, as one taking the front does.
    WindowHandle Open(std::u16string title, bool takeFocus = true, int task = 0,
                      Look look = Look::Shown);
    void Close(std::u16string_view title);
    void Close(WindowHandle window);
    void Rename(std::u16string_view from, std::u16string to);
    void Rename(WindowHandle window, std::u16string to);
    void Focus(std::u16string_view title);
    void Focus(WindowHandle window) { TakeFront(window); }
    void Reveal(std::u16string_view title, bool takeFocus);
    // The user pressed a key or clicked just now.
    void UserInput() {
        if (countingPresses_) ++userPresses_;
    }
    // The user typing into a text box of a form (see TypeText and ReplaceText).
    void TypeInto(const std::string& form, const std::string& control, const std::u16string& text,
                  bool replace);
    // Queues an event of the program, delivered by its next PumpEvents.
    void Post(std::function<void()> event) { pending_.push_back(std::move(event)); }

    // ---- What happened -----------------------------------------------------------
    const std::vector<MessageShown>& Messages() const { return messages_; }
    const std::vector<KeysTyped>& Typed() const { return typed_; }
    std::u16string KeysReceivedBy(std::u16string_view window) const;
    const std::vector<std::u16string>& Launches() const { return launches_; }
    const std::vector<std::u16string>& Activations() const { return activations_; }
    int Beeps() const { return beeps_; }
    int Waits() const { return waits_; }
    // How much the program asked about other programs' windows: one for each title read
    // and for each window listed.
    int WindowVisits() const { return windowVisits_; }
    bool ScriptDone() const { return nextStep_ >= script_.size(); }
    std::u16string ForegroundTitle() const;
    Millis Clock() const { return now_; }
    // The program's form by name, while loaded; null otherwise.
    const FormWindow* FormByName(std::string_view name) const;
    WindowHandle FormHandle(std::string_view name) const;
    bool FormEnabled(std::string_view name) const;
    // The control of a loaded form that has the focus; empty when none.
    std::string_view FocusedControl(std::string_view form) const;
    // Everything above as text, for failure messages.
    std::string Describe() const;

    // ---- PlatformShell ------------------------------------------------------------
    WindowHandle FindWindowA(std::u16string_view title) override;
    TitledWindow FindWindowTitled(std::span<const std::u16string_view> titles,
                                  DesktopLook look) override;
    bool ReportsEveryChange() override { return search_.ReportsEveryChange(); }
    void PumpEvents() override;
    std::u16string UpperCase(std::u16string_view text) override;
    bool AnsiCodePageHolds(std::u16string_view text) override;
    void Beep() override { ++beeps_; }
    std::u16string CommandLineText() override { return commandLine_; }
    std::u16string CurrentDirectory() override { return currentDirectory_; }
    int GetPrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view defaultValue, std::u16string& buffer, int size,
                                 std::u16string_view path) override;
    bool WritePrivateProfileStringA(std::u16string_view section, std::u16string_view key,
                                    std::u16string_view value, std::u16string_view path) override;
    int GetWindowsDirectoryA(std::u16string& buffer, int size) override;
    int GetSystemDirectoryA(std::u16string& buffer, int size) override;
    int LaunchProgram(std::u16string_view path, int windowStyle) override;
    void ActivateWindow(std::u16string_view title) override;
    [[noreturn]] void EndProgram() override;
    WindowHandle ForegroundWindow() override { return foreground_; }
    bool WindowShown(WindowHandle window) override;
    void CountUserPresses(bool on) override { countingPresses_ = on; }
    int UserPresses() override { return userPresses_; }
    int WindowTask(WindowHandle window) override;
    bool WaitForDesktopChange(Millis limit) override;
    bool WaitForInputIdle(int task, Millis limit) override;
    // The clock, or with ReadTicksFrom the 32-bit tick count older Windows give.
    Millis Now() override;

  protected:
    bool TypeStrokes(const KeySequence& strokes, bool wait, WindowHandle onlyInto) override;
    bool PostStrokes(const KeySequence& strokes, WindowHandle target) override;
    int RunMessageBox(std::u16string_view prompt, int style, std::u16string_view title,
                      Form* owner) override;
    std::unique_ptr<FormWindow> CreateFormWindow(Form& form, Form* owner) override;
    void Present(Form& form) override;
    void SetFormEnabled(Form& form, bool enabled) override;
    void RunModalLoop(Form& form) override;

  private:
    // ---- WindowSearch::System: what the title search reads ------------------------
    std::vector<WindowHandle> TopLevelWindows() override;
    std::optional<std::u16string> FoldedTitle(WindowHandle window, std::size_t longest) override;
    std::u16string Folded(std::u16string_view text) override { return UpperCase(text); }
    WindowHandle Foreground() override { return foreground_; }
    bool Visible(WindowHandle window) override;
    bool Ours(WindowHandle window) override;
    bool TopLevel(WindowHandle /*window*/) override { return true; }
    // Reports a change of another program's window, as far as this desktop reports it.
    void Notify(DesktopChange change, WindowHandle window);

    class SimFormWindow;
    struct Window {
        WindowHandle handle;
        std::u16string title;
        int task;
        Look look = Look::Shown;
    };
    friend class SimFormWindow;
    friend Step Click(const std::string&, const std::string&);
    friend Step PressEnter(const std::string&);
    friend Step PressEscape(const std::string&);
    friend Step PressTab(const std::string&);
    friend Step SetCheck(const std::string&, const std::string&, int);
    friend Step CloseBox(const std::string&);
    friend Step TaskListClose(const std::string&);
    friend Step EndSession();
    friend Step Answer(int);

    // Applies the next step at once, whatever its delay; ends the program when none.
    void AdvanceScript();
    SimFormWindow* FindForm(std::string_view name) const;
    Form* FormNamed(std::string_view name) const;
    // A user action on a form: ignored while the form is disabled or invisible.
    void UserAction(const std::string& formName, std::function<void(Form&)> action);
    // The topmost window with the title.
    const Window* WindowTitled(std::u16string_view title) const;
    // Brings `window` to the front, remembering what had it.
    void TakeFront(WindowHandle window);
    // `window` can no longer have the front: when it had it, the front goes back to the
    // window that had it before, as Windows hands it on (a modal window's owner).
    void HandFrontOn(WindowHandle window);
    bool CanHaveFront(WindowHandle window) const;
    // Records keys received by the window titled `target` and runs its reactions.
    void Receive(const std::u16string& target, const KeySequence& strokes);
    std::u16string TitleOf(WindowHandle handle) const;

    std::u16string commandLine_;
    std::u16string currentDirectory_ = u"C:\\";
    std::u16string windowsDirectory_ = u"C:\\WINDOWS";
    std::u16string systemDirectory_ = u"C:\\WINDOWS\\SYSTEM";
    std::optional<std::uint32_t> tickStart_;
    TickClock tickClock_;
    std::vector<std::pair<std::u16string, std::filesystem::path>> folders_;
    std::map<std::u16string, std::function<void(SimulatedDesktop&, int)>> programs_;
    std::vector<
        std::pair<std::u16string, std::function<void(SimulatedDesktop&, const KeySequence&)>>>
        keyReactions_;

    std::vector<Window> windows_;  // bottom to top
    std::vector<WindowHandle> focusHistory_;
    WindowHandle foreground_ = 0;
    WindowHandle nextHandle_ = 1000;
    int nextTask_ = 500;

    std::vector<Step> script_;
    std::size_t nextStep_ = 0;
    std::vector<std::function<void()>> pending_;
    std::optional<int> messageAnswer_;
    std::vector<std::string> boxOwners_;  // of the message boxes up, the form owning each
    // The message box on top while one is up; 0 otherwise.
    WindowHandle messageBox_ = 0;
    std::u16string messageBoxTitle_;
    bool countingPresses_ = false;
    int userPresses_ = 0;

    std::vector<SimFormWindow*> forms_;
    std::vector<MessageShown> messages_;
    std::vector<KeysTyped> typed_;
    std::vector<std::u16string> launches_;
    std::vector<std::u16string> activations_;
    int beeps_ = 0;
    int waits_ = 0;
    int windowVisits_ = 0;
    bool reportsAll_ = true;
    bool stepUnreported_ = false;
    bool woke_ = false;  // a change was reported during the step being applied
    WindowSearch search_{*this};
    bool endedItself_ = false;
    Millis now_{0};
};

}  // namespace desktop::sim
