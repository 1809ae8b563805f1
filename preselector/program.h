#pragma once
#include "desktop/platform_shell.h"

namespace preselector {

// The preselector's whole run on `shell`: start-up, then the main window and its
// watcher. Returns only where the shell's EndProgram returns (never on Windows).
void Main(desktop::PlatformShell& shell);

}  // namespace preselector
