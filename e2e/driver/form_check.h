#pragma once
// A real form window held against the layout it was made from (desktop/form_layout.h),
// from outside, as a person at a display of a given DPI sees it.
#include <windows.h>

#include <string>
#include <vector>

#include "desktop/form_layout.h"

namespace e2e {

// The display's DPI, with this process declared DPI-aware first: windows are then
// measured in real pixels, as the DPI-aware programs under test lay them out.
int ScreenDpi();

// How the shown window `form` differs from `layout` at `dpi`, one readable line each;
// empty when it matches. Held: the client area's size and its place on the screen (or,
// when the layout gives none, centred on its shown owner, else on the work area); border,
// caption buttons and taskbar button; each control's kind, caption, rectangle (pixels =
// twips x dpi / 1440, within 1 px), alignment, font (face, height from points at dpi,
// bold, as the control itself reports it: for a form of this process only) and that its
// caption fits in that font; the default button, a text box's limit, the tab order and
// the focus on its first stop; and each background colour the layout names, read off the
// screen. The window must have just opened, in front and uncovered.
std::vector<std::string> LayoutDifferences(HWND form, const desktop::FormLayout& layout, int dpi);

// Lines for a failure message.
std::string Lines(const std::vector<std::string>& lines);

}  // namespace e2e
