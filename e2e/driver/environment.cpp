#include "e2e/driver/environment.h"

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

#include "e2e/driver/screenshot.h"
#include "e2e/driver/text.h"

namespace e2e {

namespace {

Environment& Mutable() {
    static Environment environment;
    return environment;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    return path;
}

std::wstring FullPath(const std::wstring& path) {
    std::array<wchar_t, MAX_PATH * 2> buffer{};
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return path;
    }
    return WithoutTrailingSeparator(std::wstring(buffer.data(), length));
}

std::wstring OwnFolder() {
    std::array<wchar_t, MAX_PATH * 2> buffer{};
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring RunScratchFolder() {
    std::array<wchar_t, MAX_PATH + 1> buffer{};
    const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    std::wstring folder = WithoutTrailingSeparator(std::wstring(buffer.data(), length)) +
                          L"\\e2e-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return FullPath(folder);
}

}  // namespace

void InitEnvironment(int& argc, char** argv) {
    Environment& env = Mutable();
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--exe-dir=")) {
            env.exeDir = FullPath(FromUtf8(arg.substr(10)));
        } else if (arg.starts_with("--screenshot-dir=")) {
            env.screenshotDir = FullPath(FromUtf8(arg.substr(17)));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (env.exeDir.empty()) {
        env.exeDir = OwnFolder();
    }
    if (!env.screenshotDir.empty()) {
        CreateDirectoryW(env.screenshotDir.c_str(), nullptr);
    }
    env.scratchDir = RunScratchFolder();
}

const Environment& Env() { return Mutable(); }

std::wstring ExePath(const std::wstring& fileName) { return Env().exeDir + L"\\" + fileName; }

bool ProgramsUseAnsiForms() {
    const char* mode = std::getenv("QUINTARO_OLDEST_WINDOWS");
    const bool oldest = mode != nullptr && mode[0] != '\0' && std::string(mode) != "0";
    return oldest || (GetVersion() & 0x80000000u) != 0;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring NewScratchFolder(const std::wstring& label) {
    static int counter = 0;
    const std::wstring folder =
        Env().scratchDir + L"\\" + label + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return FullPath(folder);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) != FALSE &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    if (!ok) {
        return std::nullopt;
    }
    return bytes;
}

std::wstring Screenshot(const std::wstring& name, HWND window) {
    if (Env().screenshotDir.empty()) {
        return {};
    }
    const std::wstring path = Env().screenshotDir + L"\\" + name + L".bmp";
    return SaveScreenshot(window, path) ? path : std::wstring();
}

}  // namespace e2e
