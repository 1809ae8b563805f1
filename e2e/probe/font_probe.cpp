// The font probe's DLL side; see font_probe.h. It only reads: the program under test
// goes on as if the hook were not there.
#include "e2e/probe/font_probe.h"

namespace {

using e2e::probe::FontReport;

BOOL CALLBACK ReadFont(HWND control, LPARAM param) {
    auto& report = *reinterpret_cast<FontReport*>(param);
    if (report.count == e2e::probe::kMaxControls) return FALSE;
    auto& entry = report.controls[report.count++];
    entry.control = control;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    entry.known = font != nullptr && GetObjectW(font, sizeof entry.font, &entry.font) != 0;
    return TRUE;
}

}  // namespace

// Runs in the program's GUI thread each time it takes a message from its queue.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    FontProbeHook(int code, WPARAM wparam, LPARAM lparam) {
    const std::wstring name = e2e::probe::ReportName(GetCurrentProcessId());
    if (HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str())) {
        auto* report = static_cast<FontReport*>(
            MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(FontReport)));
        if (report != nullptr && report->done == 0) {
            report->count = 0;
            EnumChildWindows(report->form, ReadFont, reinterpret_cast<LPARAM>(report));
            InterlockedExchange(&report->done, 1);
        }
        if (report != nullptr) UnmapViewOfFile(report);
        CloseHandle(mapping);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
