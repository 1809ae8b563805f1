#include "desktop/win32/run_program.h"

#include <windows.h>

#include <exception>
#include <string>

#include "common/text.h"
#include "desktop/win32/dll_search.h"
#include "desktop/win32/win32_shell.h"

namespace desktop::win32 {

int RunProgram(void (*program)(PlatformShell&), std::u16string_view failureTitle) {
    const SystemFunctions system;
    // Before anything loads a DLL: never from the current folder, which may be anyone's.
    LoadDllsFromTheSystemFolderOnly(system);
    try {
        Win32Shell shell(system);
        program(shell);
        shell.EndProgram();
    } catch (const std::exception& error) {
        if (!failureTitle.empty()) {
            const std::u16string text = common::FromUtf8(error.what());
            const std::u16string title(failureTitle);
            // MessageBoxW is one of the few W functions Windows 95, 98 and ME implement.
            MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                        reinterpret_cast<const wchar_t*>(title.c_str()), MB_ICONERROR | MB_OK);
        }
        return 1;
    }
}

}  // namespace desktop::win32
