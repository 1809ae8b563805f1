#include "desktop/win32/system_functions.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "desktop/win32/win32_text.h"

namespace desktop::win32 {
namespace {

// The looked-up functions: each slot, its DLL and its name. Casting through a plain
// function pointer keeps the compiler's function-type check quiet on purpose.
template <typename Slot>
void LookUp(Slot& slot, HMODULE dll, const char* name) {
    const FARPROC found = dll != nullptr ? GetProcAddress(dll, name) : nullptr;
    slot = reinterpret_cast<Slot>(reinterpret_cast<void (*)()>(found));
}

bool OldestModeAsked() {
    const char* asked = std::getenv("QUINTARO_OLDEST_WINDOWS");
    return asked != nullptr && asked[0] != '\0' && std::string_view(asked) != "0";
}

std::string Ansi(std::u16string_view text) { return ToAnsi(text); }

// A window class of this program, in the W or A form of the structure.
template <typename WindowClass, typename Name>
WindowClass ClassOf(Name name, WNDPROC proc, int windowExtra, HCURSOR cursor) {
    WindowClass wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = windowExtra;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    return wc;
}

}  // namespace

SystemFunctions::SystemFunctions() {
    const bool oldest = OldestModeAsked();
    // The high bit of GetVersion is set on Windows 95, 98 and ME.
    const bool nt = (GetVersion() & 0x80000000u) == 0;
    wide_ = nt && !oldest;
    lowLevelHooks = nt && !oldest;
    if (oldest) return;
    // Both are loaded in every process that has a window: no search path is asked.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    HMODULE user32 = GetModuleHandleA("user32.dll");
    LookUp(GetTickCount64, kernel32, "GetTickCount64");
    LookUp(SetDefaultDllDirectories, kernel32, "SetDefaultDllDirectories");
    LookUp(SetDllDirectoryW, kernel32, "SetDllDirectoryW");
    LookUp(SetProcessDPIAware, user32, "SetProcessDPIAware");
    LookUp(EnumDesktopWindows, user32, "EnumDesktopWindows");
    LookUp(GetAncestor, user32, "GetAncestor");
    LookUp(SetWinEventHook, user32, "SetWinEventHook");
    LookUp(UnhookWinEvent, user32, "UnhookWinEvent");
    LookUp(SendInput, user32, "SendInput");
    LookUp(MsgWaitForMultipleObjectsEx, user32, "MsgWaitForMultipleObjectsEx");
    if (UnhookWinEvent == nullptr) SetWinEventHook = nullptr;
}

ATOM SystemFunctions::RegisterWindowClass(const char* name, WNDPROC proc, int windowExtra,
                                          HCURSOR cursor) const {
    const ATOM atom = RegisterNewClass(name, proc, windowExtra, cursor);
    if (atom != 0 || GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return atom;
    // Registered already by an earlier shell of this process: its atom, which
    // GetClassInfoEx returns for its BOOL.
    WNDCLASSEXA known{};
    known.cbSize = sizeof(known);
    return static_cast<ATOM>(GetClassInfoExA(GetModuleHandleA(nullptr), name, &known));
}

ATOM SystemFunctions::RegisterNewClass(const char* name, WNDPROC proc, int windowExtra,
                                       HCURSOR cursor) const {
    if (wide_) {
        const std::u16string wideName = FromAnsi(name);
        const auto wc = ClassOf<WNDCLASSEXW>(Wide(wideName), proc, windowExtra, cursor);
        return RegisterClassExW(&wc);
    }
    // RegisterClassExA is there on 95 and NT 4.0 alike; the class makes the window's
    // messages ANSI, so every call on it below takes the A form too.
    const auto wc = ClassOf<WNDCLASSEXA>(name, proc, windowExtra, cursor);
    return RegisterClassExA(&wc);
}

HWND SystemFunctions::NewWindow(DWORD exStyle, ATOM windowClass, std::u16string_view text,
                                DWORD style, const RECT& place, HWND owner, void* parameter) const {
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    if (wide_) {
        return CreateWindowExW(exStyle, MAKEINTATOM(windowClass), Wide(std::u16string(text)), style,
                               place.left, place.top, width, height, owner, nullptr,
                               GetModuleHandleA(nullptr), parameter);
    }
    return CreateWindowExA(exStyle, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(windowClass)),
                           Ansi(text).c_str(), style, place.left, place.top, width, height, owner,
                           nullptr, GetModuleHandleA(nullptr), parameter);
}

HWND SystemFunctions::NewControl(const char* windowClass, std::u16string_view text, DWORD style,
                                 const RECT& place, HWND parent, int id) const {
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    auto* menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    if (wide_) {
        return CreateWindowExW(0, Wide(FromAnsi(windowClass)), Wide(std::u16string(text)), style,
                               place.left, place.top, width, height, parent, menu,
                               GetModuleHandleA(nullptr), nullptr);
    }
    return CreateWindowExA(0, windowClass, Ansi(text).c_str(), style, place.left, place.top, width,
                           height, parent, menu, GetModuleHandleA(nullptr), nullptr);
}

LRESULT SystemFunctions::SendTo(HWND window, UINT message, WPARAM wparam, LPARAM lparam) const {
    return wide_ ? SendMessageW(window, message, wparam, lparam)
                 : SendMessageA(window, message, wparam, lparam);
}

BOOL SystemFunctions::PostTo(HWND window, UINT message, WPARAM wparam, LPARAM lparam) const {
    return wide_ ? PostMessageW(window, message, wparam, lparam)
                 : PostMessageA(window, message, wparam, lparam);
}

std::u16string SystemFunctions::TextOf(HWND window, int most) const {
    if (wide_) {
        const int size = most >= 0 ? most + 1 : GetWindowTextLengthW(window) + 1;
        std::u16string text(static_cast<std::size_t>(size), u'\0');
        const int copied = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), size);
        text.resize(static_cast<std::size_t>(std::max(copied, 0)));
        return text;
    }
    // Bytes, not characters: a double-byte code page takes two for some.
    const int size = most >= 0 ? 2 * most + 1 : GetWindowTextLengthA(window) + 1;
    std::string text(static_cast<std::size_t>(size), '\0');
    const int copied = GetWindowTextA(window, text.data(), size);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return FromAnsi(text);
}

void SystemFunctions::SetTextOf(HWND window, std::u16string_view text) const {
    if (wide_) {
        SetWindowTextW(window, Wide(std::u16string(text)));
    } else {
        SetWindowTextA(window, Ansi(text).c_str());
    }
}

BOOL SystemFunctions::PeekAt(MSG& message, UINT remove) const {
    return wide_ ? PeekMessageW(&message, nullptr, 0, 0, remove)
                 : PeekMessageA(&message, nullptr, 0, 0, remove);
}

BOOL SystemFunctions::GetNext(MSG& message) const {
    return wide_ ? GetMessageW(&message, nullptr, 0, 0) : GetMessageA(&message, nullptr, 0, 0);
}

void SystemFunctions::DispatchOne(const MSG& message) const {
    if (wide_) {
        DispatchMessageW(&message);
    } else {
        DispatchMessageA(&message);
    }
}

BOOL SystemFunctions::DialogMessage(HWND dialog, MSG& message) const {
    return wide_ ? IsDialogMessageW(dialog, &message) : IsDialogMessageA(dialog, &message);
}

HFONT SystemFunctions::NewFont(int height, bool bold, std::u16string_view face) const {
    const int weight = bold ? FW_BOLD : FW_NORMAL;
    if (wide_) {
        return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, Wide(std::u16string(face)));
    }
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, Ansi(face).c_str());
}

std::u16string SystemFunctions::UpperCase(std::u16string_view text) const {
    if (text.empty()) return {};
    if (wide_) {
        std::u16string upper(text);
        CharUpperBuffW(reinterpret_cast<wchar_t*>(upper.data()), static_cast<DWORD>(upper.size()));
        return upper;
    }
    std::string upper = Ansi(text);
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return FromAnsi(upper);
}

std::u16string SystemFunctions::CommandLine() const {
    if (wide_) return std::u16string(reinterpret_cast<const char16_t*>(GetCommandLineW()));
    return FromAnsi(GetCommandLineA());
}

std::u16string SystemFunctions::CurrentDirectory() const {
    if (wide_) {
        const DWORD needed = GetCurrentDirectoryW(0, nullptr);
        std::u16string directory(needed, u'\0');
        const DWORD length =
            GetCurrentDirectoryW(needed, reinterpret_cast<wchar_t*>(directory.data()));
        directory.resize(length < needed ? length : 0);
        return directory;
    }
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    std::string directory(needed, '\0');
    const DWORD length = GetCurrentDirectoryA(needed, directory.data());
    directory.resize(length < needed ? length : 0);
    return FromAnsi(directory);
}

bool SystemFunctions::StartProgram(std::u16string_view path, PROCESS_INFORMATION& process) const {
    // The program's own quoted path as its command line: nothing is split at spaces.
    if (wide_) {
        const std::u16string application(path);
        std::u16string commandLine = u"\"" + application + u"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        return CreateProcessW(Wide(application), reinterpret_cast<wchar_t*>(commandLine.data()),
                              nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process) != FALSE;
    }
    const std::string application = Ansi(path);
    std::string commandLine = "\"" + application + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    return CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process) != FALSE;
}

SHORT SystemFunctions::KeyFor(char16_t character) const {
    if (wide_) return VkKeyScanW(static_cast<wchar_t>(character));
    const std::string ansi = Ansi(std::u16string_view(&character, 1));
    // A character of two bytes (a double-byte code page), or none, has no single key.
    if (ansi.size() != 1 || FromAnsi(ansi) != std::u16string_view(&character, 1)) return -1;
    return VkKeyScanA(ansi[0]);
}

}  // namespace desktop::win32
