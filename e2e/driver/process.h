#pragma once
// Processes a test starts. Each Process owns its handle and ends the process by that
// handle when it goes out of scope, so a failing assertion never leaves one running.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

class Process {
  public:
    // Starts `path` with `args` (each quoted as CommandLineToArgvW expects) in
    // `workingDirectory` (empty: the test's own). Throws std::runtime_error on failure.
    static Process Start(const std::wstring& path, const std::vector<std::wstring>& args = {},
                         const std::wstring& workingDirectory = {});
    // Takes charge of a process another program started (found, say, by its window).
    // Throws std::runtime_error when it cannot be opened.
    static Process Attach(DWORD pid);

    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Pid() const { return pid_; }
    HANDLE Handle() const { return handle_; }
    bool Running() const;
    // Waits for the process to end by itself; false on timeout.
    bool WaitForExit(std::chrono::milliseconds timeout) const;
    // The exit code once ended; STILL_ACTIVE while running.
    DWORD ExitCode() const;
    // TerminateProcess and wait for it to be gone. Harmless when already ended.
    void Terminate();

  private:
    Process(HANDLE handle, DWORD pid) : handle_(handle), pid_(pid) {}

    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

// One command-line argument quoted so that CommandLineToArgvW reads it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace e2e
