// Shows from outside that the forms' twips layouts scale with the display's DPI.
//
//   dpi_check --exe-dir=DIR --screenshot-dir=DIR [--dpi=96,144]
//
// Wine reads the display DPI when a process starts, from the LogPixels value under
// HKCU\Control Panel\Desktop (falling back to HKLM\System\CurrentControlSet\Hardware
// Profiles\Current\Software\Fonts). For each DPI asked for, this program sets the HKCU
// value and starts a copy of itself (--measure=DPI), which therefore runs at that DPI as
// the preselector it starts does. The copy holds the preselector's main window and
// options dialog, and each form made in the copy by the programs' toolkit (fonts
// included), against their layouts (e2e/driver/form_check.h), and takes pictures:
// main-<dpi>dpi.bmp and options-<dpi>dpi.bmp. LogPixels is put back as it was at the end. One line
// per check, each difference under it; the exit status is 0 when all held.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver/check_list.h"
#include "e2e/driver/dormello.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/form_check.h"
#include "e2e/driver/own_form.h"
#include "e2e/driver/process.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"
#include "launcher/form1.h"
#include "preselector/frm_dormello.h"
#include "preselector/frm_dormellos.h"

namespace {

using e2e::Check;
using e2e::Say;

constexpr e2e::Millis kPatience{20000};
// A copy measuring at one DPI: starting the preselector and opening its dialog.
constexpr DWORD kMeasureTimeoutMs = 120000;
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

void CheckLayout(HWND window, const desktop::FormLayout& layout, int dpi,
                 const std::string& which = "") {
    const auto differences = e2e::LayoutDifferences(window, layout, dpi);
    Check(differences.empty(), layout.name + which + " matches its layout");
    for (const auto& line : differences) Say("          " + line);
}

void Picture(const std::wstring& name, HWND window) {
    const std::wstring path = e2e::Screenshot(name, window);
    Say(path.empty() ? "  (no picture of " + e2e::ToUtf8(name) + ")"
                     : "  picture " + e2e::ToUtf8(name) + ".png");
}

// The copy that runs at `dpi`: the forms held against their layouts, the preselector's
// pictured.
int Measure(int dpi) {
    const int seen = e2e::ScreenDpi();
    Say("at " + std::to_string(dpi) + " dpi:");
    Check(seen == dpi, "a process started now sees " + std::to_string(seen) + " dpi");
    if (seen != dpi) return 1;
    // Each form made here by the programs' toolkit, where its fonts can be asked for
    // (form_check.h); Form1 no run shows at all.
    for (const auto* layout : {&launcher::Form1Layout(), &preselector::frmDormelloLayout(),
                               &preselector::frmDormellosLayout()}) {
        const e2e::OwnForm form(*layout);
        CheckLayout(form.Handle(), *layout, dpi, " made here, fonts included,");
    }

    const std::wstring folder = e2e::NewScratchFolder(L"dpi" + std::to_wstring(dpi));
    e2e::Process dormello = e2e::LaunchDormello(L"s,false", folder);
    HWND main = e2e::WaitForMainWindow(dormello);
    Check(main != nullptr, "the preselector's main window is shown");
    if (main == nullptr) return 1;
    CheckLayout(main, preselector::frmDormelloLayout(), dpi);
    Picture(L"main-" + std::to_wstring(dpi) + L"dpi", main);

    const auto change = e2e::FindControl(main, e2e::kChangeOptions);
    if (change) e2e::PressButton(change->handle);
    HWND options = nullptr;
    const bool opened = e2e::WaitUntil(
        [&] {
            options = e2e::OptionsDialogOf(dormello);
            return options != nullptr && e2e::IsForeground(options);
        },
        kPatience);
    Check(opened, "Change Options opens the options dialog");
    if (!opened) return 1;
    CheckLayout(options, preselector::frmDormellosLayout(), dpi);
    Picture(L"options-" + std::to_wstring(dpi) + L"dpi", options);

    const auto cancel = e2e::FindControl(options, L"&Cancel");
    if (cancel) e2e::PressButton(cancel->handle);
    Check(e2e::WaitUntil([&] { return !IsWindow(options); }, kPatience),
          "Cancel closes the options dialog");
    dormello.Terminate();
    return e2e::CheckListStatus();
}

std::optional<DWORD> ReadLogPixels() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool WriteLogPixels(std::optional<DWORD> value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status =
        value ? RegSetValueExW(key, kLogPixels, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&*value), sizeof *value)
              : RegDeleteValueW(key, kLogPixels);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (!value && status == ERROR_FILE_NOT_FOUND);
}

// Starts this program again with `arguments`, sharing its standard handles, and waits
// for it. Returns its exit code; 1 when it could not start or did not finish in time.
int RunCopy(const std::wstring& arguments) {
    wchar_t self[MAX_PATH]{};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = e2e::QuoteArgument(self) + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE handle : {startup.hStdOutput, startup.hStdError}) {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        Check(false, "starting a copy of dpi_check (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    CloseHandle(info.hThread);
    DWORD code = 1;
    if (WaitForSingleObject(info.hProcess, kMeasureTimeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info.hProcess, &code);
    } else {
        Check(false, "the copy measuring at one DPI finished in time");
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, INFINITE);
    }
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

std::vector<int> DpiList(std::string_view text) {
    std::vector<int> list;
    while (!text.empty()) {
        const auto comma = text.find(',');
        list.push_back(std::atoi(std::string(text.substr(0, comma)).c_str()));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    e2e::InitEnvironment(argc, argv);
    std::vector<int> dpis{96, 144};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--measure=")) return Measure(std::atoi(argv[i] + 10));
        if (arg.starts_with("--dpi=")) dpis = DpiList(arg.substr(6));
    }
    const std::wstring passOn = e2e::QuoteArgument(L"--exe-dir=" + e2e::Env().exeDir) + L" " +
                                e2e::QuoteArgument(L"--screenshot-dir=" + e2e::Env().screenshotDir);
    const std::optional<DWORD> before = ReadLogPixels();
    std::vector<std::string> results;
    for (int dpi : dpis) {
        const bool set = WriteLogPixels(static_cast<DWORD>(dpi));
        const int status = set ? RunCopy(passOn + L" --measure=" + std::to_wstring(dpi)) : 1;
        Check(status == 0, std::to_string(dpi) + " dpi: every check of that run held");
        results.push_back(std::to_string(dpi) + " dpi " + (status == 0 ? "ok" : "FAILED"));
    }
    WriteLogPixels(before);
    std::string summary = "dpi-check:";
    for (const auto& result : results) summary += " " + result + ";";
    Say(summary);
    return e2e::CheckListStatus();
}
