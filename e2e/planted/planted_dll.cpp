// A DLL a test plants in a program's current folder under the name of a DLL that the
// program looks for by name. Whoever loads it leaves a marker beside it:
// <the DLL's folder>\planted_dll_loaded.txt, one line per loading process, with its pid.
#include <windows.h>

#include <string>

namespace {

void LeaveMarker(HMODULE self) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    std::wstring marker(path, length);
    marker.erase(marker.find_last_of(L'\\') + 1);
    marker += L"planted_dll_loaded.txt";
    const HANDLE file =
        CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string line = "loaded pid=" + std::to_string(GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        LeaveMarker(instance);
    }
    return TRUE;
}
