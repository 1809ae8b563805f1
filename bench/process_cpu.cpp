#include "bench/process_cpu.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "e2e/driver/environment.h"

namespace bench {

namespace {

// The head of one entry of the SystemProcessInformation list, as documented for
// NtQuerySystemInformation; only the fields read here.
struct ProcessEntry {
    ULONG nextEntryOffset;
    ULONG numberOfThreads;
    LARGE_INTEGER workingSetPrivateSize;
    ULONG hardFaultCount;
    ULONG numberOfThreadsHighWatermark;
    ULONGLONG cycleTime;
    LARGE_INTEGER createTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER kernelTime;
    USHORT imageNameLength;
    USHORT imageNameMaximumLength;
    PWSTR imageNameBuffer;
    LONG basePriority;
    HANDLE uniqueProcessId;
};

constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
// FILETIME units (100 ns) in a second.
constexpr double kTicksPerSecond = 1e7;

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

HMODULE Ntdll() { return GetModuleHandleW(L"ntdll.dll"); }

template <typename Function>
Function NtdllFunction(const char* name) {
    HMODULE ntdll = Ntdll();
    FARPROC address = ntdll != nullptr ? GetProcAddress(ntdll, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

double Seconds(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / kTicksPerSecond;
}

std::optional<double> FromProcessList(DWORD pid) {
    static const auto query = NtdllFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (query == nullptr) {
        return std::nullopt;
    }
    // Kept between calls: the list is read often and is about the same size each time.
    static std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const auto size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        const LONG status = query(kSystemProcessInformation, buffer.data(), size, &needed);
        if (status == kStatusInfoLengthMismatch) {
            buffer.resize((std::max<std::size_t>(needed, size) * 2) / sizeof(std::uint64_t) + 1);
            continue;
        }
        if (status < 0) {
            return std::nullopt;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const ProcessEntry*>(bytes);
            if (HandleToULong(entry->uniqueProcessId) == pid) {
                return static_cast<double>(entry->userTime.QuadPart + entry->kernelTime.QuadPart) /
                       kTicksPerSecond;
            }
            if (entry->nextEntryOffset == 0) {
                return std::nullopt;
            }
            bytes += entry->nextEntryOffset;
        }
    }
    return std::nullopt;
}

// A whole (small) file of the Linux /proc tree, read through drive Z:.
std::string ReadLinuxFile(const std::wstring& path) { return e2e::ReadBytes(path).value_or(""); }

// The Linux path of this Wine prefix, found from drive C:'s.
std::string PrefixPath() {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    FARPROC address =
        kernel32 != nullptr ? GetProcAddress(kernel32, "wine_get_unix_file_name") : nullptr;
    if (address == nullptr) {
        return {};
    }
    char* name = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(address))(L"C:\\");
    if (name == nullptr) {
        return {};
    }
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    // ".../prefix/dosdevices/c:/" (or ".../prefix/drive_c/"): up to the prefix.
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    path.erase(std::min(path.size(), path.rfind('/')));
    constexpr std::string_view kDevices = "/dosdevices";
    if (path.ends_with(kDevices)) {
        path.erase(path.size() - kDevices.size());
    }
    return path;
}

// The Linux process id of the process of this prefix (its environment names the prefix)
// whose name starts with `name`; 0 when there is none.
unsigned long FindLinuxProcess(std::string_view name) {
    const std::string prefix = PrefixPath();
    if (prefix.empty()) {
        return 0;
    }
    const std::string wanted = "WINEPREFIX=" + prefix;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    unsigned long found = 0;
    do {
        wchar_t* end = nullptr;
        const unsigned long pid = std::wcstoul(entry.cFileName, &end, 10);
        if (pid == 0 || *end != L'\0') {
            continue;
        }
        const std::wstring folder = L"Z:\\proc\\" + std::wstring(entry.cFileName);
        if (!ReadLinuxFile(folder + L"\\comm").starts_with(name)) {
            continue;
        }
        std::string environment = ReadLinuxFile(folder + L"\\environ");
        for (std::size_t at = 0; at < environment.size();) {
            const std::size_t end_of = environment.find('\0', at);
            const std::size_t stop = end_of == std::string::npos ? environment.size() : end_of;
            std::string_view variable(environment.data() + at, stop - at);
            if (variable == wanted || variable == wanted + "/") {
                found = pid;
            }
            at = stop + 1;
        }
    } while (found == 0 && FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

}  // namespace

std::optional<double> WineserverCpuSeconds() {
    if (!UnderWine()) {
        return std::nullopt;
    }
    static const unsigned long pid = FindLinuxProcess("wineserver");
    if (pid == 0) {
        return std::nullopt;
    }
    const std::string stat = ReadLinuxFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
    // After the name in parentheses: state, then fields 4 to 13, then utime and stime in
    // clock ticks (100 a second on Linux).
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    const char* cursor = stat.c_str() + close + 1;
    unsigned long long ticks = 0;
    for (int field = 3; field <= 15; ++field) {
        char* end = nullptr;
        while (*cursor == ' ') {
            ++cursor;
        }
        const unsigned long long value = std::strtoull(cursor, &end, 10);
        if (field >= 14) {
            ticks += value;
        }
        cursor = end != cursor ? end : std::strchr(cursor, ' ');
        if (cursor == nullptr) {
            return std::nullopt;
        }
    }
    constexpr double kClockTicksPerSecond = 100;
    return static_cast<double>(ticks) / kClockTicksPerSecond;
}

bool UnderWine() {
    static const bool wine = !WineVersion().empty();
    return wine;
}

std::string WineVersion() {
    using GetVersion = const char*(CDECL*)();
    const auto version = NtdllFunction<GetVersion>("wine_get_version");
    return version != nullptr ? std::string("Wine ") + version() : std::string();
}

std::string CpuSourceNote() {
    if (UnderWine()) {
        return "CPU times: the system process list (NtQuerySystemInformation); under Wine "
               "GetProcessTimes on another process reports the caller's own times. "
               "Resolution 10 ms.";
    }
    return "CPU times: GetProcessTimes on the process handle.";
}

std::optional<double> ProcessTimesSeconds(HANDLE process) {
    FILETIME creation{};
    FILETIME exit{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
        return std::nullopt;
    }
    return Seconds(kernel) + Seconds(user);
}

std::optional<double> CpuSeconds(HANDLE process, DWORD pid) {
    return UnderWine() ? FromProcessList(pid) : ProcessTimesSeconds(process);
}

bool CpuReadableAfterExit() { return !UnderWine(); }

std::optional<long long> WakesSoFar(const std::string& exeName) {
    if (!UnderWine()) {
        return std::nullopt;
    }
    // Linux keeps 15 characters of a process's name.
    const unsigned long pid = FindLinuxProcess(exeName.substr(0, 15));
    if (pid == 0) {
        return std::nullopt;
    }
    const std::string status = ReadLinuxFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\status");
    constexpr std::string_view kField = "\nvoluntary_ctxt_switches:";
    const std::size_t at = status.find(kField);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::strtoll(status.c_str() + at + kField.size(), nullptr, 10);
}

}  // namespace bench
