#include "e2e/driver/windows.h"

#include <array>

#include "e2e/driver/text.h"

namespace e2e {

namespace {

// Lambdas are not CALLBACK (stdcall) on i686, so the enumerations collect handles here.
BOOL CALLBACK Collect(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> AllTopLevel() {
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The title as FindWindow compares it: read without a message, so a hung window
// cannot block the search.
std::wstring TitleOf(HWND window) {
    std::array<wchar_t, 512> buffer{};
    const int length = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return {buffer.data(), static_cast<size_t>(length)};
}

// A bound for one message sent to another process's window.
constexpr UINT kSendTimeoutMs = 5000;

}  // namespace

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowText: GetWindowText does not ask another
    // process's window, and edit controls keep their text only in themselves.
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                            &length) == 0) {
        return TitleOf(window);
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                            reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                            &copied) == 0) {
        return TitleOf(window);
    }
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::string DescribeWindow(HWND window) {
    if (window == nullptr) {
        return "no window";
    }
    return ToUtf8(ClassName(window)) + " \"" + ToUtf8(WindowText(window)) + "\" of pid " +
           std::to_string(ProcessOf(window));
}

std::wstring ClassName(HWND window) {
    std::array<wchar_t, 256> buffer{};
    const int length = GetClassNameW(window, buffer.data(), static_cast<int>(buffer.size()));
    return {buffer.data(), static_cast<size_t>(length)};
}

bool IsForeground(HWND window) { return window != nullptr && GetForegroundWindow() == window; }

HWND FindTopLevel(const std::wstring& title, DWORD pid, bool visibleOnly) {
    for (HWND window : AllTopLevel()) {
        if ((pid == 0 || ProcessOf(window) == pid) && (!visibleOnly || IsWindowVisible(window)) &&
            TitleOf(window) == title) {
            return window;
        }
    }
    return nullptr;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
    std::vector<HWND> windows;
    for (HWND window : AllTopLevel()) {
        if (ProcessOf(window) == pid) {
            windows.push_back(window);
        }
    }
    return windows;
}

HWND FindTopLevelOfClass(DWORD pid, const std::wstring& className, const std::wstring& title) {
    for (HWND window : TopLevelWindows(pid)) {
        if (ClassName(window) == className && TitleOf(window) == title) {
            return window;
        }
    }
    return nullptr;
}

std::vector<Control> Controls(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&children));
    std::vector<Control> controls;
    for (HWND child : children) {
        Control control;
        control.handle = child;
        control.id = GetDlgCtrlID(child);
        control.className = ClassName(child);
        control.text = WindowText(child);
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&control.rect), 2);
        control.enabled = IsWindowEnabled(child) != FALSE;
        control.visible = IsWindowVisible(child) != FALSE;
        controls.push_back(std::move(control));
    }
    return controls;
}

std::optional<Control> FindControl(HWND parent, const std::wstring& text) {
    for (auto& control : Controls(parent)) {
        if (control.text == text) {
            return control;
        }
    }
    return std::nullopt;
}

std::vector<std::wstring> StaticTexts(HWND parent) {
    std::vector<std::wstring> texts;
    for (auto& control : Controls(parent)) {
        if (_wcsicmp(control.className.c_str(), L"Static") == 0 && !control.text.empty()) {
            texts.push_back(std::move(control.text));
        }
    }
    return texts;
}

HWND FocusedWindow(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (thread == 0 || !GetGUIThreadInfo(thread, &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

bool IsChecked(HWND button) {
    DWORD_PTR state = 0;
    return SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &state) != 0 &&
           state == BST_CHECKED;
}

void PressButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void PostClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

}  // namespace e2e
