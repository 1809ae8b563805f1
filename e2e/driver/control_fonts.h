#pragma once
// The fonts a window's controls draw with, as each control reports it (WM_GETFONT, then
// GetObject) inside the window's own program, where a message hook loads font_probe.dll
// from the exe folder (e2e/probe/font_probe.h says why it must be asked from there).
#include <windows.h>

#include <optional>
#include <vector>

namespace e2e {

struct ControlFont {
    HWND control = nullptr;
    std::optional<LOGFONTW> font;  // none when the control has no font
};

// One entry per child of `form`; empty when its program did not answer in time.
std::vector<ControlFont> ReportedFonts(HWND form);

}  // namespace e2e
