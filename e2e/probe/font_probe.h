#pragma once
// The font probe: a DLL that a message hook loads into a program under test, where it
// asks each control of one window for its font (WM_GETFONT, then GetObject). It must be
// asked from inside: Wine 8 fails WM_GETFONT sent from another process, and a font
// handle names nothing outside the process that made it anyway.
#include <windows.h>

#include <string>

namespace e2e::probe {

inline constexpr int kMaxControls = 64;
// The hook procedure the DLL exports, undecorated (linked with --kill-at on i686).
inline constexpr char kHookName[] = "FontProbeHook";

struct ControlFont {
    HWND control;
    BOOL known;  // the control has a font and GetObject described it
    LOGFONTW font;
};

// Shared memory named ReportName(the program's pid): the asker sets `form` and clears
// `done`; the probe, inside the program, fills the rest and then sets `done`.
struct FontReport {
    HWND form;
    LONG done;
    LONG count;
    ControlFont controls[kMaxControls];
};

inline std::wstring ReportName(DWORD pid) {
    return L"Local\\quintaro-font-probe-" + std::to_wstring(pid);
}

}  // namespace e2e::probe
