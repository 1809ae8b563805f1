#pragma once
// The whole of both programs' WinMain.
#include <string_view>

#include "desktop/platform_shell.h"

namespace desktop::win32 {

// Restricts the DLL search, runs `program` on the real desktop and ends the process.
// An error nothing trapped ends the program with exit code 1, as the classic run-time
// does; it is shown in a box titled `failureTitle` first, unless that is empty: a
// program with no messages of its own ends without a word.
int RunProgram(void (*program)(PlatformShell&), std::u16string_view failureTitle);

}  // namespace desktop::win32
