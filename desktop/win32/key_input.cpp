#include "desktop/win32/key_input.h"

#include <algorithm>
#include <string>

#include "desktop/win32/win32_text.h"

namespace desktop::win32 {
namespace {

// MAPVK_VK_TO_VSC, the one mapping every Windows has.
constexpr UINT kVirtualKeyToScanCode = 0;

struct NamedVk {
    WORD vk;
    bool extended;
};

NamedVk VirtualKeyOf(NamedKey key) {
    switch (key) {
        case NamedKey::Backspace:
            return {VK_BACK, false};
        case NamedKey::Break:
            return {VK_CANCEL, false};
        case NamedKey::CapsLock:
            return {VK_CAPITAL, false};
        case NamedKey::Delete:
            return {VK_DELETE, true};
        case NamedKey::Down:
            return {VK_DOWN, true};
        case NamedKey::End:
            return {VK_END, true};
        case NamedKey::Enter:
            return {VK_RETURN, false};
        case NamedKey::Escape:
            return {VK_ESCAPE, false};
        case NamedKey::Help:
            return {VK_HELP, false};
        case NamedKey::Home:
            return {VK_HOME, true};
        case NamedKey::Insert:
            return {VK_INSERT, true};
        case NamedKey::Left:
            return {VK_LEFT, true};
        case NamedKey::NumLock:
            return {VK_NUMLOCK, true};
        case NamedKey::PageDown:
            return {VK_NEXT, true};
        case NamedKey::PageUp:
            return {VK_PRIOR, true};
        case NamedKey::PrintScreen:
            return {VK_SNAPSHOT, true};
        case NamedKey::Right:
            return {VK_RIGHT, true};
        case NamedKey::ScrollLock:
            return {VK_SCROLL, false};
        case NamedKey::Tab:
            return {VK_TAB, false};
        case NamedKey::Up:
            return {VK_UP, true};
        default:
            break;
    }
    const int function = static_cast<int>(key) - static_cast<int>(NamedKey::F1);
    return {static_cast<WORD>(VK_F1 + function), false};
}

INPUT KeyEvent(WORD vk, bool up, bool extended) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, kVirtualKeyToScanCode));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (extended ? KEYEVENTF_EXTENDEDKEY : 0u);
    return input;
}

INPUT UnicodeEvent(char16_t character, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = character;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0u);
    return input;
}

// A character message's parameter, posted through the W or the A form.
WPARAM CharacterParameter(const SystemFunctions& system, char16_t character) {
    if (system.WideForms()) return character;
    const std::string ansi = ToAnsi(std::u16string_view(&character, 1));
    return ansi.size() == 1 ? static_cast<unsigned char>(ansi[0]) : WPARAM{character};
}

bool IsUp(const INPUT& input) { return (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0; }

bool SameKey(const INPUT& a, const INPUT& b) {
    return a.ki.wVk == b.ki.wVk && (a.ki.wVk != 0 || a.ki.wScan == b.ki.wScan);
}

}  // namespace

std::vector<INPUT> StrokeInputs(const SystemFunctions& system, const KeyStroke& stroke) {
    Modifiers mods = stroke.held;
    std::vector<INPUT> key;
    if (stroke.isNamed) {
        const NamedVk named = VirtualKeyOf(stroke.key);
        key = {KeyEvent(named.vk, false, named.extended), KeyEvent(named.vk, true, named.extended)};
    } else {
        const SHORT scan = system.KeyFor(stroke.character);
        if (scan == -1) {
            key = {UnicodeEvent(stroke.character, false), UnicodeEvent(stroke.character, true)};
        } else {
            const auto vk = static_cast<WORD>(scan & 0xFF);
            mods.shift = mods.shift || (scan & 0x100) != 0;
            mods.ctrl = mods.ctrl || (scan & 0x200) != 0;
            mods.alt = mods.alt || (scan & 0x400) != 0;
            key = {KeyEvent(vk, false, false), KeyEvent(vk, true, false)};
        }
    }
    std::vector<WORD> modifierKeys;
    if (mods.shift) modifierKeys.push_back(VK_SHIFT);
    if (mods.ctrl) modifierKeys.push_back(VK_CONTROL);
    if (mods.alt) modifierKeys.push_back(VK_MENU);

    std::vector<INPUT> inputs;
    for (WORD vk : modifierKeys) inputs.push_back(KeyEvent(vk, false, false));
    inputs.insert(inputs.end(), key.begin(), key.end());
    for (auto it = modifierKeys.rbegin(); it != modifierKeys.rend(); ++it) {
        inputs.push_back(KeyEvent(*it, true, false));
    }
    return inputs;
}

UINT InsertKeys(const SystemFunctions& system, std::vector<INPUT>& inputs) {
    const auto count = static_cast<UINT>(inputs.size());
    if (system.WideForms() && system.SendInput != nullptr) {
        return system.SendInput(count, inputs.data(), sizeof(INPUT));
    }
    UINT inserted = 0;
    for (const INPUT& input : inputs) {
        if ((input.ki.dwFlags & KEYEVENTF_UNICODE) != 0) break;
        if (system.SendInput != nullptr) {
            INPUT one = input;
            if (system.SendInput(1, &one, sizeof(INPUT)) != 1) break;
        } else {
            keybd_event(static_cast<BYTE>(input.ki.wVk), static_cast<BYTE>(input.ki.wScan),
                        input.ki.dwFlags, 0);
        }
        ++inserted;
    }
    return inserted;
}

std::vector<KeyMessage> StrokeMessages(const SystemFunctions& system, const KeyStroke& stroke) {
    const bool alt = stroke.held.alt;
    WORD vk = 0;
    bool extended = false;
    if (stroke.isNamed) {
        const NamedVk named = VirtualKeyOf(stroke.key);
        vk = named.vk;
        extended = named.extended;
    } else {
        const SHORT scan = system.KeyFor(stroke.character);
        constexpr SHORT kShiftCtrlAlt = 0x700;
        if (scan == -1 || (scan & kShiftCtrlAlt) != 0) {
            const LPARAM context = alt ? LPARAM{1} << 29 : 0;
            return {{alt ? UINT{WM_SYSCHAR} : UINT{WM_CHAR},
                     CharacterParameter(system, stroke.character), 1 | context}};
        }
        vk = static_cast<WORD>(scan & 0xFF);
    }
    // Down and up only: the receiver's own TranslateMessage (IsDialogMessage's, in a
    // dialog) makes the character, as it does for typed keys.
    const auto scanCode = static_cast<LPARAM>(MapVirtualKeyA(vk, kVirtualKeyToScanCode));
    LPARAM down = 1 | (scanCode << 16);
    if (extended) down |= LPARAM{1} << 24;
    if (alt) down |= LPARAM{1} << 29;  // context code: Alt is down
    const LPARAM up = down | (LPARAM{1} << 30) | static_cast<LPARAM>(0x80000000u);
    return {{alt ? UINT{WM_SYSKEYDOWN} : UINT{WM_KEYDOWN}, vk, down},
            {alt ? UINT{WM_SYSKEYUP} : UINT{WM_KEYUP}, vk, up}};
}

std::vector<INPUT> ReleasesOfPartialInsert(const std::vector<INPUT>& inputs, UINT inserted) {
    const auto done = inputs.begin() + std::min<std::size_t>(inserted, inputs.size());
    std::vector<INPUT> releases;
    for (auto down = inputs.begin(); down != done; ++down) {
        if (IsUp(*down)) continue;
        const bool released = std::any_of(down + 1, done, [&](const INPUT& later) {
            return IsUp(later) && SameKey(later, *down);
        });
        if (released) continue;
        INPUT up = *down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        releases.insert(releases.begin(), up);
    }
    return releases;
}

}  // namespace desktop::win32
