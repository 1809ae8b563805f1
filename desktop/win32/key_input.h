#pragma once
// Key strokes as SendInput events: each stroke is one self-contained batch of presses
// followed by the matching releases, so no batch can leave a modifier held.
#include <windows.h>

#include <vector>

#include "desktop/key_strokes.h"
#include "desktop/win32/system_functions.h"

namespace desktop::win32 {

// Modifier downs (those the stroke holds plus those the layout needs for the
// character), the key down and up, then the modifier ups in reverse order. A
// character without a key on the current layout is typed as a Unicode packet.
std::vector<INPUT> StrokeInputs(const SystemFunctions& system, const KeyStroke& stroke);

// Inserts the events into the system's input, as SendInput does; returns how many went
// in. Without SendInput (95, NT 4.0 before SP3) through keybd_event, one by one. The
// Unicode packets are NT's alone: on 95, 98 and ME (and in the oldest mode) insertion
// stops at the first.
UINT InsertKeys(const SystemFunctions& system, std::vector<INPUT>& inputs);

// After SendInput inserted only the first `inserted` of `inputs`: the releases of
// every key those pressed and did not release.
std::vector<INPUT> ReleasesOfPartialInsert(const std::vector<INPUT>& inputs, UINT inserted);

// A stroke as the messages a window's queue receives when it is typed with the focus
// (WM_SYS... forms while Alt is held). Posted straight to a window, they reach that
// window whichever one has the focus. Posting changes no key state, so the receiver's
// own TranslateMessage turns a key down into the character the key makes with Shift,
// Ctrl and AltGr up: a key down and up go only for a character that needs none of them.
// Any other character (an upper-case letter, '!', '@' on a German layout, one the
// layout has no key for) goes as its character message alone. Alt is carried by the
// message kind; Shift and Ctrl held by the stroke itself are not carried.
struct KeyMessage {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
// A character goes as the window takes characters from the system's functions: UTF-16
// through the W forms, the ANSI code page through the A forms.
std::vector<KeyMessage> StrokeMessages(const SystemFunctions& system, const KeyStroke& stroke);

}  // namespace desktop::win32
