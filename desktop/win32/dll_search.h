#pragma once
// Where the program may load DLLs from, set once as the first thing in WinMain.
#include <windows.h>

#include "desktop/win32/system_functions.h"

namespace desktop::win32 {

// Loads DLLs named without a path from the system folder only: the current folder holds
// the settings file and may be anyone's, so a DLL planted there must never be loaded.
// SetDefaultDllDirectories needs Windows 8, or Windows 7 with KB2533623; without it,
// SetDllDirectoryW(L"") (XP SP1 on) at least takes the current folder out of the search.
// Where neither exists (95 to ME, NT 4.0, 2000, XP before SP1) the current folder stays
// in the search for DLLs loaded later by name. The programs load none themselves: their
// imports are system DLLs, which those systems take from the system folder.
inline void LoadDllsFromTheSystemFolderOnly(const SystemFunctions& system) {
    if (system.SetDefaultDllDirectories != nullptr &&
        system.SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    if (system.SetDllDirectoryW != nullptr) system.SetDllDirectoryW(L"");
}

}  // namespace desktop::win32
