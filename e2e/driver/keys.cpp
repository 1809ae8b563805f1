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

// Wine scales absolute units back by width / 65536, rounding down: rounded up here, so
// the point comes back as it was.
INPUT MouseAt(POINT point, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (point.x * 65536 + width - 1) / width;
    input.mi.dy = (point.y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    return input;
}

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
    // point over this window: sent together with the move, the first click in a fresh
    // Wine prefix landed on whatever lay elsewhere under the pointer.
    const POINT point{x, y};
    INPUT move = MouseAt(point, 0);
    const bool there = WaitUntil([&] {
        POINT cursor{};
        if (!GetCursorPos(&cursor) || cursor.x != x || cursor.y != y) {
            SendInput(1, &move, sizeof(INPUT));
            return false;
        }
        return GetAncestor(WindowFromPoint(point), GA_ROOT) == window;
    });
    if (!there) return false;
    INPUT buttons[2] = {MouseAt(point, MOUSEEVENTF_LEFTDOWN), MouseAt(point, MOUSEEVENTF_LEFTUP)};
    return SendInput(2, buttons, sizeof(INPUT)) == 2;
}

bool TypeInto(HWND window, const std::vector<Chord>& chords, std::chrono::milliseconds timeout) {
    return BringToForeground(window, timeout) && SendChords(chords);
}

}  // namespace e2e
