#include "e2e/driver/keys.h"

#include <stdexcept>

#include "e2e/driver/wait.h"

namespace e2e {

namespace {

INPUT KeyInput(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

}  // namespace

Chord Alt(wchar_t letter) {
    const SHORT scan = VkKeyScanW(letter);
    if (scan == -1) {
        throw std::invalid_argument("no key types this character on the current layout");
    }
    return Chord{{VK_MENU}, static_cast<WORD>(scan & 0xFF)};
}

Chord Key(WORD virtualKey) { return Chord{{}, virtualKey}; }

bool SendChords(const std::vector<Chord>& chords) {
    std::vector<INPUT> inputs;
    for (const auto& chord : chords) {
        for (const WORD modifier : chord.modifiers) {
            inputs.push_back(KeyInput(modifier, false));
        }
        inputs.push_back(KeyInput(chord.key, false));
        inputs.push_back(KeyInput(chord.key, true));
        for (auto it = chord.modifiers.rbegin(); it != chord.modifiers.rend(); ++it) {
            inputs.push_back(KeyInput(*it, true));
        }
    }
    const UINT inserted = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return inserted == inputs.size();
}

bool BringToForeground(HWND window, std::chrono::milliseconds timeout) {
    if (GetForegroundWindow() != window) {
        SetForegroundWindow(window);
    }
    return WaitUntil([window] { return GetForegroundWindow() == window; }, timeout);
}

bool ClickTitleBar(HWND window) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) return false;
    const LONG x = (frame.left + frame.right) / 2;
    const LONG y = frame.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    DWORD_PTR hit = 0;
    if (SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000,
                            &hit) == 0 ||
        hit != HTCAPTION) {
        return false;
    }
    // The pointer is moved first and the buttons go only once the system has it at the
    // point over this window: under Wine, pointer events the X server queued before the
    // move (a window mapped under the resting pointer) can still put the cursor back, and
    // the click would land on whatever lies there.
    INPUT move{};
    move.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    move.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    const POINT point{x, y};
    const bool there = WaitUntil([&] {
        POINT cursor{};
        if (!GetCursorPos(&cursor) || cursor.x != x || cursor.y != y) {
            SendInput(1, &move, sizeof(INPUT));
            return false;
        }
        return GetAncestor(WindowFromPoint(point), GA_ROOT) == window;
    });
    if (!there) return false;
    INPUT buttons[2]{};
    for (INPUT& input : buttons) input.type = INPUT_MOUSE;
    buttons[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    buttons[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, buttons, sizeof(INPUT)) == 2;
}

bool TypeInto(HWND window, const std::vector<Chord>& chords, std::chrono::milliseconds timeout) {
    return BringToForeground(window, timeout) && SendChords(chords);
}

}  // namespace e2e
