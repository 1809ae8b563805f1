#include "e2e/driver/volume_standin.h"

#include <array>

#include "e2e/driver/process.h"

namespace e2e {

namespace {

constexpr wchar_t kOptionsVariable[] = L"STANDIN_SNDVOL32_OPTIONS";

}  // namespace

std::wstring InstalledVolumeControlPath() {
    std::array<wchar_t, MAX_PATH + 1> buffer{};
    const UINT length = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    return std::wstring(buffer.data(), length) + L"\\SNDVOL32.EXE";
}

std::vector<std::wstring> VolumeArguments(const VolumeOptions& options) {
    std::vector<std::wstring> args;
    if (options.delayMs) {
        args.push_back(L"/delay:" + std::to_wstring(*options.delayMs));
    }
    if (options.noSwitch) {
        args.emplace_back(L"/noswitch");
    }
    if (options.noActivate) {
        args.emplace_back(L"/noactivate");
    }
    if (options.crashMs) {
        args.push_back(L"/crash:" + std::to_wstring(*options.crashMs));
    }
    if (!options.logPath.empty()) {
        args.push_back(L"/log:" + options.logPath);
    }
    return args;
}

VolumeOptionsForChildren::VolumeOptionsForChildren(const VolumeOptions& options) {
    const DWORD needed = GetEnvironmentVariableW(kOptionsVariable, nullptr, 0);
    if (needed > 0) {
        std::wstring value(needed, L'\0');
        const DWORD length = GetEnvironmentVariableW(kOptionsVariable, value.data(), needed);
        value.resize(length < needed ? length : 0);
        previous_ = std::move(value);
    }
    std::wstring text;
    for (const auto& arg : VolumeArguments(options)) {
        text += (text.empty() ? L"" : L" ") + QuoteArgument(arg);
    }
    SetEnvironmentVariableW(kOptionsVariable, text.c_str());
}

VolumeOptionsForChildren::~VolumeOptionsForChildren() {
    SetEnvironmentVariableW(kOptionsVariable, previous_ ? previous_->c_str() : nullptr);
}

namespace {

BOOL CALLBACK CollectVolumeWindow(HWND window, LPARAM param) {
    std::array<wchar_t, 64> name{};
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    if (std::wstring(name.data(), static_cast<size_t>(length)) == kVolumeControlClass) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> VolumeControlWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectVolumeWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

}  // namespace e2e
