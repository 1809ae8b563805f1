#pragma once
// Where the program may load DLLs from, set once as the first thing in WinMain.
#include <windows.h>

namespace desktop::win32 {

// Loads DLLs named without a path from the system folder only: the current folder holds
// the settings file and may be anyone's, so a DLL planted there must never be loaded.
// SetDefaultDllDirectories needs Windows 8, or Windows 7 with KB2533623; without it,
// SetDllDirectoryW(L"") at least takes the current folder out of the search.
inline void LoadDllsFromTheSystemFolderOnly() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found =
        kernel32 != nullptr ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

}  // namespace desktop::win32
