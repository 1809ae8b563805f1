// The control for the planted-DLL test: loads a DLL by its bare name, as a program does
// when it looks one up at run time, in the current folder the test gives it.
//
//   load_by_name.exe [/harden] NAME
//
// /harden: first restricts the DLL search exactly as dormello32 and sonvik32 do at start.
// Exit code: bit 0 set when LoadLibraryW(NAME) found a DLL, bit 1 set when kernel32 has
// SetDefaultDllDirectories; 255 for a bad command line.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

#include "desktop/win32/dll_search.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    bool harden = false;
    std::wstring name;
    int count = 0;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            const std::wstring arg = args[i];
            if (arg == L"/harden") {
                harden = true;
            } else {
                name = arg;
            }
        }
        LocalFree(args);
    }
    if (name.empty()) {
        return 255;
    }
    if (harden) {
        desktop::win32::LoadDllsFromTheSystemFolderOnly(desktop::win32::SystemFunctions());
    }
    int result = 0;
    if (LoadLibraryW(name.c_str()) != nullptr) {
        result |= 1;
    }
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 != nullptr && GetProcAddress(kernel32, "SetDefaultDllDirectories") != nullptr) {
        result |= 2;
    }
    return result;
}
