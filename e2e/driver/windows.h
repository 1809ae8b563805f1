#pragma once
// Looking at other programs' windows and acting on them as the system would.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A top-level window whose title equals `title` exactly (case too), hidden or not,
// belonging to `pid` when pid != 0; nullptr when there is none. FindWindow also
// matches hidden windows and ignores case: use `visibleOnly` to wait for the shown one.
HWND FindTopLevel(const std::wstring& title, DWORD pid = 0, bool visibleOnly = false);
// Every top-level window of `pid`, hidden ones too.
std::vector<HWND> TopLevelWindows(DWORD pid);
// A top-level window of `pid` with the given class ("#32770" for dialogs and message
// boxes) and title; nullptr when there is none.
HWND FindTopLevelOfClass(DWORD pid, const std::wstring& className, const std::wstring& title);

DWORD ProcessOf(HWND window);
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
bool IsForeground(HWND window);
// Class, title and process, for failure messages; "no window" for nullptr.
std::string DescribeWindow(HWND window);

// A child control as a test sees it.
struct Control {
    HWND handle = nullptr;
    int id = 0;
    std::wstring className;
    std::wstring text;
    RECT rect{};  // outer rectangle in the parent's client coordinates
    bool enabled = false;
    bool visible = false;
};

// The direct and nested children of `parent`, in Z order.
std::vector<Control> Controls(HWND parent);
// The first child with this text (mnemonic ampersands included); nullopt otherwise.
std::optional<Control> FindControl(HWND parent, const std::wstring& text);
// The texts of the parent's Static children that are not empty: a message box's
// prompt is one of them.
std::vector<std::wstring> StaticTexts(HWND parent);

// The window that has the keyboard focus in the thread that owns `window` (another
// program's, say), or nullptr when it has none.
HWND FocusedWindow(HWND window);
// Whether a check box or radio button is checked, as the control itself reports it.
bool IsChecked(HWND button);

// Presses a button as a click would. Posted, not sent: a click that opens a modal
// window in the target would otherwise block the test until that window closed.
void PressButton(HWND button);
// Asks a window to close, as the task list does.
void PostClose(HWND window);

}  // namespace e2e
