#include <windows.h>

#include "desktop/win32/run_program.h"
#include "preselector/program.h"
#include "preselector/texts.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return desktop::win32::RunProgram(preselector::Main, preselector::kMessageTitle);
}
