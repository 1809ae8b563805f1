#include "bench/log_tail.h"

namespace bench {

LogTail::~LogTail() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

std::vector<e2e::LogLine> LogTail::ReadNew() {
    if (file_ == INVALID_HANDLE_VALUE) {
        // The writer may not have created the file yet; it is opened at the first look
        // that finds it, and read from its start.
        file_ = CreateFileW(path_.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            return {};
        }
    }
    // The handle's position stays where the last read ended, so this reads what was
    // appended since.
    char buffer[8192];
    DWORD read = 0;
    while (ReadFile(file_, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        partial_.append(buffer, read);
    }
    std::vector<e2e::LogLine> parsed;
    for (const auto& line : e2e::CompleteLines(partial_)) {
        if (auto logLine = e2e::ParseLogLine(line)) {
            parsed.push_back(std::move(*logLine));
        }
    }
    partial_.erase(0, partial_.rfind('\n') + 1);
    return parsed;
}

}  // namespace bench
