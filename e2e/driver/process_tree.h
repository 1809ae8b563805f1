#pragma once
// Processes that another process started: the programs under test start programs of
// their own, which a test must find to end them.
#include <windows.h>

#include <vector>

namespace e2e {

// The running processes whose parent is `parent` (it may have ended since), from a
// snapshot of the system's process list.
std::vector<DWORD> ChildProcesses(DWORD parent);

}  // namespace e2e
