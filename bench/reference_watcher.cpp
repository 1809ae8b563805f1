// A reference watcher for the benchmark: the shutdown-dialog watcher written the way
// common scripts write it, to compare the preselector with. Built twice:
//
//   bench_busy_watcher.exe [KEY]    BENCH_WATCHER_SLEEP_MS=0: look, pump, look again,
//                                   never waiting
//   bench_sleep_watcher.exe [KEY]   BENCH_WATCHER_SLEEP_MS=100: Sleep(100) between looks
//
// It looks with FindWindowA for "Shut Down Windows" and "Windows beenden" (hidden windows
// match too). Once one is found and is the foreground window, it types Alt+KEY (default
// R) once with SendInput, then waits, looking in the same way, until no window has that
// title any more. Like the preselector it types only into the foreground dialog. It has
// one hidden window, so that it can be told apart and answers the end of a session, and
// runs until it is ended.
#include <windows.h>

#include <array>

#ifndef BENCH_WATCHER_SLEEP_MS
#error "BENCH_WATCHER_SLEEP_MS must be defined (0 for the busy loop)"
#endif

namespace {

constexpr DWORD kSleepMs = BENCH_WATCHER_SLEEP_MS;
constexpr std::array<const char*, 2> kDialogTitles{"Shut Down Windows", "Windows beenden"};
constexpr wchar_t kClass[] = L"QuintaroBenchWatcher";
constexpr const wchar_t* kTitle =
    kSleepMs == 0 ? L"Quintaro Bench Busy Watcher" : L"Quintaro Bench Sleep Watcher";

// The dialog with one of the titles, and which title it was; nullptr when none exists.
HWND LookForDialog(const char*& title) {
    for (const char* candidate : kDialogTitles) {
        if (HWND window = FindWindowA(nullptr, candidate)) {
            title = candidate;
            return window;
        }
    }
    return nullptr;
}

// Runs every waiting message; false once WM_QUIT came.
bool Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

// The strategy's pause between two looks: none at all, or a sleep.
void Pause() {
    if constexpr (kSleepMs > 0) {
        Sleep(kSleepMs);
    }
}

INPUT KeyEvent(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Alt down, key down, key up, Alt up: one SendInput call, so Alt cannot stay held.
void TypeAltKey(WORD virtualKey) {
    std::array<INPUT, 4> inputs{KeyEvent(VK_MENU, false), KeyEvent(virtualKey, false),
                                KeyEvent(virtualKey, true), KeyEvent(VK_MENU, true)};
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The key's character from the command line: its first non-blank character, or R.
char KeyCharacter(const char* commandLine) {
    while (*commandLine == ' ' || *commandLine == '\t') {
        ++commandLine;
    }
    return *commandLine != '\0' ? *commandLine : 'R';
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const SHORT scan = VkKeyScanA(KeyCharacter(commandLine));
    if (scan == -1) {
        return 2;
    }
    const auto virtualKey = static_cast<WORD>(scan & 0xFF);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    if (RegisterClassW(&windowClass) == 0 ||
        CreateWindowExW(0, kClass, kTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                        nullptr) == nullptr) {
        return 1;
    }

    for (;;) {
        const char* title = nullptr;
        HWND dialog = LookForDialog(title);
        if (!Pump()) {
            return 0;
        }
        // A dialog is found before it is shown and has the focus; keys typed then would
        // go to another window, so it is typed into only once it is in front.
        if (dialog != nullptr && GetForegroundWindow() == dialog) {
            TypeAltKey(virtualKey);
            while (FindWindowA(nullptr, title) != nullptr) {
                if (!Pump()) {
                    return 0;
                }
                Pause();
            }
        }
        Pause();
    }
}
