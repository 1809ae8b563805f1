#pragma once
// The one place that knows which Windows has which function. The 32-bit programs start
// on Windows 95 and NT 4.0: every function newer than those is looked up here, once, and
// a null pointer means "this Windows has none"; each caller takes the older way beside
// its use. Nothing else calls GetProcAddress. docs/windows-functions.md lists each
// function the programs import or look up, with the first Windows that has it.
//
// The text functions go through here too. Windows 95, 98 and ME implement the W forms
// of almost nothing, so there the A forms are called, the programs' UTF-16 converted
// through the ANSI code page; on NT the W forms, as before.
//
// QUINTARO_OLDEST_WINDOWS=1 in the environment (a test aid) makes every looked-up
// function absent and takes the A forms, so the paths of the oldest Windows run, and
// can be tested, on any Windows or under Wine.
#include <windows.h>

#include <string>
#include <string_view>

namespace desktop::win32 {

class SystemFunctions {
  public:
    SystemFunctions();

    // Whether the W forms are used (NT, and not the oldest mode).
    bool WideForms() const { return wide_; }

    // ---- Looked up; null where this Windows has none ---------------------------
    // kernel32
    ULONGLONG(WINAPI* GetTickCount64)() = nullptr;            // Vista
    BOOL(WINAPI* SetDefaultDllDirectories)(DWORD) = nullptr;  // 8, or 7 + KB2533623
    BOOL(WINAPI* SetDllDirectoryW)(LPCWSTR) = nullptr;        // XP SP1
    // user32
    BOOL(WINAPI* SetProcessDPIAware)() = nullptr;                            // Vista
    BOOL(WINAPI* EnumDesktopWindows)(HDESK, WNDENUMPROC, LPARAM) = nullptr;  // NT only
    HWND(WINAPI* GetAncestor)(HWND, UINT) = nullptr;                         // 98, NT 4.0 SP4
    HWINEVENTHOOK(WINAPI* SetWinEventHook)
    (DWORD, DWORD, HMODULE, WINEVENTPROC, DWORD, DWORD,
     DWORD) = nullptr;  // 98, NT 4.0 SP6
    BOOL(WINAPI* UnhookWinEvent)(HWINEVENTHOOK) = nullptr;
    UINT(WINAPI* SendInput)(UINT, LPINPUT, int) = nullptr;  // 98, NT 4.0 SP3
    DWORD(WINAPI* MsgWaitForMultipleObjectsEx)
    (DWORD, const HANDLE*, DWORD, DWORD,
     DWORD) = nullptr;  // 98, NT 4.0
    // WH_KEYBOARD_LL and WH_MOUSE_LL: NT 4.0 SP3 on, none on 95, 98 or ME. A hook type,
    // not a function, so told by the system's platform.
    bool lowLevelHooks = false;

    // ---- Text at the system, W or A by WideForms() --------------------------------------
    // The class's atom; one this process registered already is found again.
    ATOM RegisterWindowClass(const char* name, WNDPROC proc, int windowExtra, HCURSOR cursor) const;
    // A top-level window of a class registered here; `parameter` reaches WM_NCCREATE.
    HWND NewWindow(DWORD exStyle, ATOM windowClass, std::u16string_view text, DWORD style,
                   const RECT& place, HWND owner, void* parameter) const;
    // A child control of a system class ("BUTTON", "EDIT", "STATIC").
    HWND NewControl(const char* windowClass, std::u16string_view text, DWORD style,
                    const RECT& place, HWND parent, int id) const;
    LRESULT SendTo(HWND window, UINT message, WPARAM wparam, LPARAM lparam) const;
    BOOL PostTo(HWND window, UINT message, WPARAM wparam, LPARAM lparam) const;
    // A window's text; with `most`, at most that many characters are read.
    std::u16string TextOf(HWND window, int most = -1) const;
    void SetTextOf(HWND window, std::u16string_view text) const;
    BOOL PeekAt(MSG& message, UINT remove) const;
    BOOL GetNext(MSG& message) const;
    void DispatchOne(const MSG& message) const;
    BOOL DialogMessage(HWND dialog, MSG& message) const;
    HFONT NewFont(int height, bool bold, std::u16string_view face) const;
    std::u16string UpperCase(std::u16string_view text) const;
    std::u16string CommandLine() const;
    std::u16string CurrentDirectory() const;
    // False, with the error in GetLastError, when the program cannot be started.
    bool StartProgram(std::u16string_view path, PROCESS_INFORMATION& process) const;
    // The key and shift state that type `character` on the current layout; -1 for none.
    SHORT KeyFor(char16_t character) const;

  private:
    ATOM RegisterNewClass(const char* name, WNDPROC proc, int windowExtra, HCURSOR cursor) const;

    bool wide_ = true;
};

}  // namespace desktop::win32
