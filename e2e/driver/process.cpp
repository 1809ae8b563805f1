#include "e2e/driver/process.h"

#include <stdexcept>
#include <utility>

#include "e2e/driver/text.h"

namespace e2e {

namespace {

// Bounded wait after TerminateProcess; the process is gone long before this.
constexpr DWORD kTerminateWaitMs = 10000;

}  // namespace

std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t ch : arg) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        if (ch == L'"') {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += ch;
    }
    // Backslashes before the closing quote are doubled.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

Process Process::Start(const std::wstring& path, const std::vector<std::wstring>& args,
                       const std::wstring& workingDirectory) {
    std::wstring commandLine = QuoteArgument(path);
    for (const auto& arg : args) {
        commandLine += L" " + QuoteArgument(arg);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup,
                        &info)) {
        throw std::runtime_error("CreateProcess failed for " + ToUtf8(path) + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

Process Process::Attach(DWORD pid) {
    HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                FALSE, pid);
    if (handle == nullptr) {
        throw std::runtime_error("OpenProcess failed for pid " + std::to_string(pid) + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    return {handle, pid};
}

Process::~Process() {
    Terminate();
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), pid_(std::exchange(other.pid_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Terminate();
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
        handle_ = std::exchange(other.handle_, nullptr);
        pid_ = std::exchange(other.pid_, 0);
    }
    return *this;
}

bool Process::Running() const {
    return handle_ != nullptr && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(std::chrono::milliseconds timeout) const {
    return handle_ != nullptr &&
           WaitForSingleObject(handle_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (handle_ != nullptr) {
        GetExitCodeProcess(handle_, &code);
    }
    return code;
}

void Process::Terminate() {
    if (Running()) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, kTerminateWaitMs);
    }
}

}  // namespace e2e
