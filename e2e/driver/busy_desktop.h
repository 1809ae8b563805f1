#pragma once
// The busy-desktop stand-in (standin_desktop.exe): many windows of another program, and
// windows made and destroyed fast.
#include <string>

#include "e2e/driver/process.h"
#include "e2e/driver/wait.h"

namespace e2e {

// Starts it with `windows` windows (a quarter of them visible), remaking `churnPerSecond`
// of them a second, its log in `folder`\desktop.log; returns once all its windows exist.
// Throws std::runtime_error when they do not come.
Process StartBusyDesktop(int windows, int churnPerSecond, const std::wstring& folder,
                         Millis timeout = Millis{30000});

}  // namespace e2e
