#include <windows.h>

#include "desktop/win32/run_program.h"
#include "launcher/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The launcher has no messages: whatever fails, it ends quietly.
    return desktop::win32::RunProgram(launcher::Main, {});
}
