#include "e2e/driver/process_tree.h"

// tlhelp32.h needs windows.h before it.
#include <tlhelp32.h>

namespace e2e {

std::vector<DWORD> ChildProcesses(DWORD parent) {
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return children;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more != FALSE;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent) {
            children.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return children;
}

}  // namespace e2e
