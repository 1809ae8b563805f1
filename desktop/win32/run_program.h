#pragma once
// The whole of both programs' WinMain.
#include "desktop/platform_shell.h"

namespace desktop::win32 {

// Restricts the DLL search, runs `program` on the real desktop and ends the process.
// An error nothing trapped is shown in a box and ends the program with exit code 1, as
// the classic run-time does.
int RunProgram(void (*program)(PlatformShell&));

}  // namespace desktop::win32
