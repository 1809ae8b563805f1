#pragma once
// Reads a stand-in's log as it grows: each call returns only the lines completed since
// the last one, so a long run is not parsed again at every look.
#include <windows.h>

#include <string>
#include <vector>

#include "e2e/driver/event_log.h"

namespace bench {

class LogTail {
  public:
    explicit LogTail(std::wstring path) : path_(std::move(path)) {}
    ~LogTail();
    LogTail(const LogTail&) = delete;
    LogTail& operator=(const LogTail&) = delete;

    // The lines ended by '\n' since the last call, parsed as the e2e driver parses them
    // (lines that do not parse are left out).
    std::vector<e2e::LogLine> ReadNew();

  private:
    std::wstring path_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string partial_;
};

}  // namespace bench
