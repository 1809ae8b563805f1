#pragma once
#include "desktop/platform_shell.h"

namespace launcher {

// The launcher's one run on `shell`: shows Form1, whose load does the work and ends
// the program.
void Main(desktop::PlatformShell& shell);

}  // namespace launcher
