#pragma once
// The real desktop: PlatformShell on the Win32 API. Each operation is one system call
// with its result checked; typing, launching and activating raise DesktopError.
#include <windows.h>

#include <cstdint>

#include "desktop/platform_shell.h"
#include "desktop/tick_clock.h"
#include "desktop/win32/desktop_windows.h"
#include "desktop/win32/form_window.h"
#include "desktop/win32/system_functions.h"
#include "desktop/window_search.h"

namespace desktop::win32 {

class Win32Shell final : public PlatformShell, private FormHost {
  public:
    // Declares the process DPI-aware, creates the hidden toolkit window and starts
    // watching other programs' top-level windows where the system reports them. Throws
    // DesktopError on failure. `system` outlives the shell.
    explicit Win32Shell(const SystemFunctions& system);
    ~Win32Shell() override;

    WindowHandle FindWindowA(std::u16string_view title) override;
    TitledWindow FindWindowTitled(std::span<const std::u16string_view> titles,
                                  DesktopLook look) override;
    bool ReportsEveryChange() override { return search_.ReportsEveryChange(); }
    void PumpEvents() override;
    void Beep() override;
    std::u16string CommandLineText() override;
    std::u16string CurrentDirectory() override;
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
    std::u16string UpperCase(std::u16string_view text) override;
    bool AnsiCodePageHolds(std::u16string_view text) override;
    WindowHandle ForegroundWindow() override;
    bool WindowShown(WindowHandle window) override;
    void CountUserPresses(bool on) override;
    int UserPresses() override;
    int WindowTask(WindowHandle window) override;
    bool WaitForDesktopChange(Millis limit) override;
    bool WaitForInputIdle(int task, Millis limit) override;
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
    static LRESULT CALLBACK ToolkitProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnQueryEndSession();
    LRESULT OnEndSession(bool ending);
    void UnloadFromOutside(Form& form, int unloadMode) override;

    // Translates and dispatches one message, through the dialog manager for forms.
    void Deliver(MSG& message) const;
    // The top-level window `window` belongs to.
    HWND RootOf(HWND window) const;
    const SystemFunctions& System() const override { return system_; }
    // Whether a WinEvent reported a change of other programs' windows since the last call.
    bool DesktopChanged();
    // Waits up to `timeout` for a message; WAIT_TIMEOUT when none came.
    DWORD WaitForMessages(DWORD timeout) const;
    // Returns once the program owning the foreground window has (as far as can be told
    // from outside it) handled the `keyEvents` key events just typed.
    void WaitUntilKeysHandled(std::size_t keyEvents);

    const SystemFunctions& system_;
    TickClock tickClock_;
    HWND toolkit_ = nullptr;
    DesktopWindows windows_;
    WindowSearch search_;
    HWINEVENTHOOK windowHook_ = nullptr;
    HWINEVENTHOOK renameHook_ = nullptr;
    HWINEVENTHOOK foregroundHook_ = nullptr;
    HHOOK keyboardHook_ = nullptr;
    HHOOK mouseHook_ = nullptr;
};

}  // namespace desktop::win32
