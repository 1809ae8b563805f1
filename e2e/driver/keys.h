#pragma once
// Typing as the user does: real keyboard input through SendInput, which the system
// delivers to the foreground window's thread.
#include <windows.h>

#include <chrono>
#include <vector>

namespace e2e {

// One key pressed while `modifiers` (VK_MENU, VK_SHIFT, VK_CONTROL) are held.
struct Chord {
    std::vector<WORD> modifiers;
    WORD key = 0;
};

// Alt plus the key that types `letter` ('R' and 'r' are the same key).
Chord Alt(wchar_t letter);
// A key alone: VK_RETURN, VK_TAB, VK_DOWN...
Chord Key(WORD virtualKey);

// Every down and up of the chords, in one SendInput call so that no modifier can be
// left held if the call is cut short. Returns false when SendInput did not insert
// every event.
bool SendChords(const std::vector<Chord>& chords);

// Makes `window` the foreground window and waits until the system reports it so;
// false on timeout.
bool BringToForeground(HWND window, std::chrono::milliseconds timeout);

// A mouse input at a point of the screen (moved there, plus `flags`: button downs and
// ups), in SendInput's absolute units.
INPUT MouseAt(POINT point, DWORD flags);

// Clicks the middle of `window`'s title bar with the mouse, as a person brings a window
// forward. False when that point is not its title bar, another window covers it, or
// SendInput did not take it all.
bool ClickTitleBar(HWND window);

// Brings `window` to the foreground, then types. False, having typed nothing, when the
// window did not become the foreground window; false also on a partial insert.
bool TypeInto(HWND window, const std::vector<Chord>& chords, std::chrono::milliseconds timeout);

}  // namespace e2e
