#include <windows.h>

#include <exception>
#include <string>

#include "common/text.h"
#include "desktop/win32/dll_search.h"
#include "desktop/win32/win32_shell.h"
#include "launcher/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: never from the current folder, which may be anyone's.
    desktop::win32::LoadDllsFromTheSystemFolderOnly();
    try {
        desktop::win32::Win32Shell shell;
        launcher::Main(shell);
        shell.EndProgram();
    } catch (const std::exception& error) {
        // An error nothing trapped ends the program, as the classic run-time does.
        const std::u16string text = common::FromUtf8(error.what());
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), nullptr,
                    MB_ICONERROR | MB_OK);
        return 1;
    }
}
