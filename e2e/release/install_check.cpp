// The installer under Wine, checked from outside as a user's machine would show it:
//   - a silent installation (/S): the files, the Start-menu shortcuts (targets and
//     start-in folders), the uninstall entry, and no Startup shortcut: "Start Dormello
//     with Windows" is off by default. Where depends on the Windows the prefix reports:
//     from 2000 on the user's own folder and HKCU, none under HKLM; on 95 to ME and
//     NT 4.0 Program Files and HKLM, none under HKCU (NT 4.0's shortcuts for all users);
//   - the installed preselector, started as its shortcut starts it, reads the installed
//     QUINTARO.INI; the silent uninstaller closes it and leaves nothing behind;
//   - /S /STARTUP=1 puts the Startup shortcut; a reinstallation without the switch keeps
//     it and the user's saved settings; /STARTUP=0 takes it away again;
//   - a hidden preselector ends on "taskkill /im dormello32.exe", as README.txt says for
//     XP and later;
//   - the installer's first page, pictured as setup-components.bmp.
//
//   install_check --exe-dir=DIR --screenshot-dir=DIR --setup=PATH --version=X.Y.Z
//
// One line per check; the exit status is 0 when all held.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver/check_list.h"
#include "e2e/driver/dormello.h"
#include "e2e/driver/environment.h"
#include "e2e/driver/process.h"
#include "e2e/driver/process_tree.h"
#include "e2e/driver/text.h"
#include "e2e/driver/wait.h"
#include "e2e/driver/windows.h"

namespace {

using e2e::Check;
using e2e::FileExists;
using e2e::Say;

constexpr e2e::Millis kPatience{60000};
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QUINTARO";
constexpr char kSampleSettings[] = "[Shutdown]\r\nOption=S\r\nHide=False\r\n";
const std::vector<std::wstring> kInstalledFiles{L"dormello32.exe", L"sonvik32.exe", L"QUINTARO.INI",
                                                L"README.txt", L"uninstall.exe"};

std::string U8(const std::wstring& text) { return e2e::ToUtf8(text); }

bool SameText(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH]{};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

struct Places {
    std::wstring installDir;
    std::wstring menuDir;
    std::wstring startupLink;
    HKEY root;       // of the uninstall entry
    HKEY otherRoot;  // where nothing may be
    bool xpOrLater;
};

std::string RootName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU"; }

// Where the installer puts things on the Windows this prefix reports.
Places Where() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    const bool xpOrLater = nt && (version.dwMajorVersion > 5 ||
                                  (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1));
    Say("the prefix reports Windows " + std::string(nt ? "NT " : "9x ") +
        std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion));
    if (nt && version.dwMajorVersion >= 5) {
        return {KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\QUINTARO",
                KnownFolder(CSIDL_PROGRAMS) + L"\\QUINTARO",
                KnownFolder(CSIDL_STARTUP) + L"\\Dormello.lnk",
                HKEY_CURRENT_USER,
                HKEY_LOCAL_MACHINE,
                xpOrLater};
    }
    return {KnownFolder(CSIDL_PROGRAM_FILES) + L"\\QUINTARO",
            KnownFolder(nt ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + L"\\QUINTARO",
            KnownFolder(nt ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP) + L"\\Dormello.lnk",
            HKEY_LOCAL_MACHINE,
            HKEY_CURRENT_USER,
            false};
}

struct Link {
    std::wstring target;
    std::wstring workingDir;
    std::wstring arguments;
};

// A shortcut as the shell reads it; nullopt when it cannot be read.
std::optional<Link> ReadLink(const std::wstring& path) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return std::nullopt;
    }
    std::optional<Link> result;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t target[MAX_PATH]{}, dir[MAX_PATH]{}, args[1024]{};
            link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            link->GetWorkingDirectory(dir, MAX_PATH);
            link->GetArguments(args, 1024);
            result = Link{target, dir, args};
        }
        file->Release();
    }
    link->Release();
    return result;
}

// The shortcut at `path` points to `target` and, when given, starts in `workingDir`.
void CheckLink(const std::wstring& path, const std::wstring& target,
               const std::optional<std::wstring>& workingDir) {
    const auto link = ReadLink(path);
    if (!link) {
        Check(false, "shortcut " + U8(path) + " cannot be read");
        return;
    }
    const bool ok =
        SameText(link->target, target) && (!workingDir || SameText(link->workingDir, *workingDir));
    Check(ok, "shortcut " + U8(path) + " -> " + U8(link->target) +
                  (workingDir ? ", starts in " + U8(link->workingDir) : std::string()) +
                  (ok ? "" : " (expected " + U8(target) + ")"));
}

std::optional<std::wstring> RegString(HKEY root, const wchar_t* key, const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(wcslen(value.c_str()));
    return value;
}

std::optional<DWORD> RegDword(HKEY root, const wchar_t* key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool KeyExists(HKEY root, const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

void CheckRegString(const Places& at, const wchar_t* name, const std::wstring& expected) {
    const auto value = RegString(at.root, kUninstallKey, name);
    Check(value && *value == expected, "uninstall entry (" + RootName(at.root) + ") " + U8(name) +
                                           " = " + (value ? "\"" + U8(*value) + "\"" : "(none)") +
                                           " (expected \"" + U8(expected) + "\")");
}

// Everything a silent installation leaves; `settings` are QUINTARO.INI's expected bytes.
void CheckInstalled(const Places& at, const std::string& version, bool startup,
                    const std::string& settings) {
    for (const auto& file : kInstalledFiles) {
        Check(FileExists(at.installDir + L"\\" + file),
              "installed " + U8(at.installDir) + "\\" + U8(file));
    }
    const auto ini = e2e::ReadBytes(at.installDir + L"\\QUINTARO.INI");
    Check(ini && *ini == settings, "QUINTARO.INI holds the expected settings (CRLF)");
    const auto readme = e2e::ReadBytes(at.installDir + L"\\README.txt");
    bool crlf = readme.has_value();
    for (std::size_t i = 0; readme && i < readme->size(); ++i) {
        if ((*readme)[i] == '\n' && (i == 0 || (*readme)[i - 1] != '\r')) crlf = false;
    }
    Check(readme && readme->starts_with("QUINTARO " + version) && crlf,
          "README.txt names version " + version + " and has CRLF line ends");
    // Notepad before XP does not wrap lines by default.
    std::size_t longest = 0;
    for (std::size_t i = 0, run = 0; readme && i < readme->size(); ++i) {
        run = (*readme)[i] == '\r' || (*readme)[i] == '\n' ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    Check(longest <= 78,
          "README.txt's longest line has " + std::to_string(longest) + " characters (at most 78)");

    const std::wstring& dir = at.installDir;
    CheckLink(at.menuDir + L"\\Dormello.lnk", dir + L"\\dormello32.exe", dir);
    CheckLink(at.menuDir + L"\\Sonvik.lnk", dir + L"\\sonvik32.exe", dir);
    CheckLink(at.menuDir + L"\\QUINTARO README.lnk", dir + L"\\README.txt", std::nullopt);
    CheckLink(at.menuDir + L"\\Uninstall QUINTARO.lnk", dir + L"\\uninstall.exe", std::nullopt);
    if (startup) {
        CheckLink(at.startupLink, dir + L"\\dormello32.exe", dir);
    } else {
        Check(!FileExists(at.startupLink), "no Startup shortcut " + U8(at.startupLink));
    }

    CheckRegString(at, L"DisplayName", L"QUINTARO");
    CheckRegString(at, L"DisplayVersion", e2e::FromUtf8(version));
    CheckRegString(at, L"Publisher", L"Tobrin's Utilities");
    CheckRegString(at, L"InstallLocation", dir);
    CheckRegString(at, L"DisplayIcon", dir + L"\\dormello32.exe,0");
    CheckRegString(at, L"UninstallString", L"\"" + dir + L"\\uninstall.exe\"");
    CheckRegString(at, L"QuietUninstallString", L"\"" + dir + L"\\uninstall.exe\" /S");
    const auto size = RegDword(at.root, kUninstallKey, L"EstimatedSize");
    Check(RegDword(at.root, kUninstallKey, L"NoModify") == 1u &&
              RegDword(at.root, kUninstallKey, L"NoRepair") == 1u && size && *size > 0,
          "uninstall entry NoModify = 1, NoRepair = 1, EstimatedSize = " +
              (size ? std::to_string(*size) + " KB" : "(none)"));
    Check(!KeyExists(at.otherRoot, kUninstallKey),
          "no uninstall entry under " + RootName(at.otherRoot));
}

// The machine a Windows program is built for, from its PE header; 0 when unreadable.
WORD MachineOf(const std::wstring& program) {
    const auto bytes = e2e::ReadBytes(program);
    if (!bytes || bytes->size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes->data());
    const auto at = static_cast<std::size_t>(dos->e_lfanew);
    if (at + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER) > bytes->size()) return 0;
    return reinterpret_cast<const IMAGE_FILE_HEADER*>(bytes->data() + at + sizeof(DWORD))->Machine;
}

std::string MachineName(WORD machine) {
    if (machine == IMAGE_FILE_MACHINE_I386) return "i386";
    if (machine == IMAGE_FILE_MACHINE_AMD64) return "x86-64";
    return "machine " + std::to_string(machine);
}

// Each installer carries its own arch's programs: this checker is built for that arch.
void CheckArch(const Places& at) {
#ifdef _WIN64
    constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#else
    constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#endif
    for (const wchar_t* program : {L"dormello32.exe", L"sonvik32.exe"}) {
        const WORD machine = MachineOf(at.installDir + L"\\" + program);
        Check(machine == kOwnMachine, "installed " + U8(program) + " is built for " +
                                          MachineName(machine) + " (expected " +
                                          MachineName(kOwnMachine) + ")");
    }
}

bool NothingLeft(const Places& at) {
    return !FileExists(at.installDir) && !FileExists(at.menuDir) && !FileExists(at.startupLink) &&
           !KeyExists(at.root, kUninstallKey);
}

// Runs a program to its end; its exit code, or nullopt when it did not end in time.
std::optional<DWORD> Run(const std::wstring& path, const std::vector<std::wstring>& args) {
    e2e::Process process = e2e::Process::Start(path, args);
    if (!process.WaitForExit(kPatience)) return std::nullopt;
    return process.ExitCode();
}

void Install(const std::wstring& setup, const std::vector<std::wstring>& args) {
    std::wstring shown;
    for (const auto& arg : args) shown += L" " + arg;
    Say("installing: setup" + U8(shown));
    const auto code = Run(setup, args);
    Check(code == 0u, "the installer ended with exit code " +
                          (code ? std::to_string(*code) : std::string("(none: timed out)")));
}

// The uninstaller as Windows runs it from the uninstall entry's QuietUninstallString.
// It copies itself to the temporary folder and runs the copy, which does the work: wait
// for both, then for the removal to be complete.
void Uninstall(const Places& at) {
    const auto command = RegString(at.root, kUninstallKey, L"QuietUninstallString");
    if (!Check(command.has_value(), "uninstalling: the entry has a QuietUninstallString")) return;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(command->c_str(), &count);
    std::vector<std::wstring> args(argv + 1, argv + count);
    const std::wstring program = argv[0];
    LocalFree(argv);
    e2e::Process uninstaller = e2e::Process::Start(program, args);
    Check(uninstaller.WaitForExit(kPatience), "the uninstaller ended");
    for (DWORD child : e2e::ChildProcesses(uninstaller.Pid())) {
        try {
            const e2e::Process copy = e2e::Process::Attach(child);
            Check(copy.WaitForExit(kPatience),
                  "its working copy (pid " + std::to_string(child) + ") ended");
        } catch (const std::exception&) {
            // It ended between the snapshot and the attach.
        }
    }
    if (!Check(e2e::WaitUntil([&] { return NothingLeft(at); }, kPatience),
               "the removal completed")) {
        // What stayed: a file still in use stays where the removal skipped it.
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((at.installDir + L"\\*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more;
             more = FindNextFileW(search, &found)) {
            Say("        left: " + U8(found.cFileName));
        }
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
    }
    Check(!FileExists(at.installDir), "no folder " + U8(at.installDir));
    Check(!FileExists(at.menuDir), "no Start-menu folder " + U8(at.menuDir));
    Check(!FileExists(at.startupLink), "no Startup shortcut");
    Check(!KeyExists(at.root, kUninstallKey), "no uninstall entry under " + RootName(at.root));
}

void CheckInstalledPreselector(const Places& at) {
    const auto link = ReadLink(at.menuDir + L"\\Dormello.lnk");
    if (!Check(link.has_value(), "starting the preselector as its Start-menu shortcut does")) {
        return;
    }
    e2e::Process dormello = e2e::Process::Start(link->target, {}, link->workingDir);
    HWND main = e2e::WaitForMainWindow(dormello);
    if (!Check(main != nullptr, "its main window is shown")) return;
    const std::wstring expected =
        L"Shutdown Option set to: S\r\nfrom " + at.installDir + L"\\QUINTARO.INI";
    bool found = false;
    for (const auto& text : e2e::StaticTexts(main)) found = found || SameText(text, expected);
    Check(found, "it says it took key S from the installed QUINTARO.INI");
    e2e::Screenshot(L"installed-dormello", main);

    Say("uninstalling while it runs:");
    Uninstall(at);
    Check(dormello.WaitForExit(kPatience), "the uninstaller closed the running preselector");
}

void CheckTaskkillEndsHiddenPreselector(const Places& at) {
    Say("a hidden preselector and taskkill:");
    e2e::Process dormello =
        e2e::Process::Start(at.installDir + L"\\dormello32.exe", {L"s,true"}, at.installDir);
    // Hidden, its form exists but is never shown (and keeps an empty title).
    const bool running = e2e::WaitUntil(
        [&] {
            for (HWND window : e2e::TopLevelWindows(dormello.Pid())) {
                if (e2e::ClassName(window) == L"QuintaroForm") return true;
            }
            return false;
        },
        kPatience);
    Check(running, "dormello32 s,true runs with its form hidden");
    wchar_t system[MAX_PATH]{};
    GetSystemDirectoryW(system, MAX_PATH);
    const auto code = Run(std::wstring(system) + L"\\taskkill.exe", {L"/im", L"dormello32.exe"});
    Check(code.has_value(), "taskkill /im dormello32.exe ran");
    Check(dormello.WaitForExit(kPatience), "the hidden preselector ended");
}

void PictureSetup(const std::wstring& setup, const std::string& version) {
    Say("the installer's first page:");
    e2e::Process process = e2e::Process::Start(setup);
    const std::wstring title = L"QUINTARO " + e2e::FromUtf8(version) + L" Setup";
    HWND window = nullptr;
    const bool shown = e2e::WaitUntil(
        [&] {
            // The page adds its own subcaption to the title: a space on this one.
            window = nullptr;
            for (HWND top : e2e::TopLevelWindows(process.Pid())) {
                if (IsWindowVisible(top) && e2e::WindowText(top).starts_with(title)) window = top;
            }
            return window != nullptr && e2e::FindControl(window, L"&Next >").has_value();
        },
        kPatience);
    if (Check(shown, "\"" + U8(title) + "\" shows its components page")) {
        e2e::Screenshot(L"setup-components", window);
    } else {
        for (HWND top : e2e::TopLevelWindows(process.Pid())) {
            std::string texts;
            for (const auto& control : e2e::Controls(top)) texts += " [" + U8(control.text) + "]";
            Say("        window \"" + U8(e2e::WindowText(top)) + "\"" +
                (IsWindowVisible(top) ? "" : " (hidden)") + ":" + texts);
        }
    }
    process.Terminate();  // nothing was installed yet
}

}  // namespace

int main(int argc, char** argv) {
    e2e::InitEnvironment(argc, argv);
    std::wstring setup;
    std::string version;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--setup=")) setup = e2e::FromUtf8(arg.substr(8));
        if (arg.starts_with("--version=")) version = std::string(arg.substr(10));
    }
    if (setup.empty() || version.empty() || !FileExists(setup)) {
        Say("usage: install_check --setup=PATH --version=X.Y.Z (the installer must exist)");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const Places at = Where();
    Check(NothingLeft(at), "a fresh prefix has no QUINTARO installation");

    Install(setup, {L"/S"});
    CheckInstalled(at, version, false, kSampleSettings);
    CheckArch(at);
    CheckInstalledPreselector(at);

    Install(setup, {L"/S", L"/STARTUP=1"});
    CheckInstalled(at, version, true, kSampleSettings);
    const std::string saved = "[Shutdown]\r\nOption=R\r\nHide=False\r\n";
    e2e::WriteBytes(at.installDir + L"\\QUINTARO.INI", saved);
    Install(setup, {L"/S"});
    Say("  (a reinstallation: the user's settings and the Startup choice stay)");
    CheckInstalled(at, version, true, saved);
    // Before XP there is no taskkill; README.txt names the task list there.
    if (at.xpOrLater) CheckTaskkillEndsHiddenPreselector(at);
    Install(setup, {L"/S", L"/STARTUP=0"});
    CheckInstalled(at, version, false, saved);
    Uninstall(at);

    PictureSetup(setup, version);
    CoUninitialize();
    const int status = e2e::CheckListStatus();
    Say(std::string("install-check: ") + (status == 0 ? "all checks passed" : "FAILED"));
    return status;
}
