#pragma once
// Key strings in the classic "SendKeys" syntax, parsed once into key strokes so that
// every desktop types exactly the same thing and a malformed string fails before
// anything is typed.
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

// Keys that have no character of their own.
enum class NamedKey {
    Backspace,
    Break,
    CapsLock,
    Delete,
    Down,
    End,
    Enter,
    Escape,
    Help,
    Home,
    Insert,
    Left,
    NumLock,
    PageDown,
    PageUp,
    PrintScreen,
    Right,
    ScrollLock,
    Tab,
    Up,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
};

struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    friend bool operator==(const Modifiers&, const Modifiers&) = default;
};

// One press and release: either a character typed as the keyboard produces it
// (the desktop adds Shift where the layout needs it) or a named key.
struct KeyStroke {
    Modifiers held;
    bool isNamed = false;
    char16_t character = 0;          // when !isNamed
    NamedKey key = NamedKey::Enter;  // when isNamed
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

using KeySequence = std::vector<KeyStroke>;

// Throws DesktopError naming the fault on a malformed string.
KeySequence ParseKeyString(std::u16string_view keys);

// The braced form that types `c` as itself, e.g. "{%}" for '%', or c itself when it
// is not part of the syntax.
std::u16string LiteralKey(char16_t c);

// Renders strokes back into the key syntax ("%R", "{TAB}"): used in test
// reports and by the simulated desktop's record of typed keys.
std::u16string DescribeStrokes(const KeySequence& strokes);

}  // namespace desktop
