#include "e2e/driver/control_fonts.h"

#include "e2e/driver/environment.h"
#include "e2e/driver/wait.h"
#include "e2e/probe/font_probe.h"

namespace e2e {

std::vector<ControlFont> ReportedFonts(HWND form) {
    static const HMODULE probeDll = LoadLibraryW(ExePath(L"font_probe.dll").c_str());
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(probeDll, probe::kHookName)));
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(form, &pid);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(probe::FontReport), probe::ReportName(pid).c_str());
    if (mapping == nullptr) return {};
    auto* report = static_cast<probe::FontReport*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(probe::FontReport)));
    HHOOK installed = nullptr;
    if (report != nullptr && hook != nullptr) {
        report->form = form;
        InterlockedExchange(&report->done, 0);
        installed = SetWindowsHookExW(WH_GETMESSAGE, hook, probeDll, thread);
    }
    std::vector<ControlFont> fonts;
    if (installed != nullptr) {
        // The hook runs once the program takes a message from its queue.
        PostMessageW(form, WM_NULL, 0, 0);
        if (WaitUntil([&] { return InterlockedCompareExchange(&report->done, 0, 0) != 0; })) {
            for (LONG i = 0; i < report->count; ++i) {
                const auto& entry = report->controls[i];
                fonts.push_back(
                    {entry.control, entry.known ? std::optional(entry.font) : std::nullopt});
            }
        }
        UnhookWindowsHookEx(installed);
    }
    if (report != nullptr) UnmapViewOfFile(report);
    CloseHandle(mapping);
    return fonts;
}

}  // namespace e2e
