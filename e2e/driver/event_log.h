#pragma once
// Reading the log files that stand-ins write: one event a line,
//   <QueryPerformanceCounter> <event> name=value name="quoted value" ...
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver/wait.h"

namespace e2e {

struct LogLine {
    std::int64_t ticks = 0;
    std::string event;
    std::map<std::string, std::string> fields;
    std::string raw;

    // The field's value, or "" when the line has no such field.
    std::string Field(const std::string& name) const;
};

// The lines of `text` that a line feed has ended (a CR before it dropped): a line still
// being written is not read half-way.
std::vector<std::string> CompleteLines(const std::string& text);

// Reads `lines()` until one satisfies `match`; returns it, or nullopt on timeout.
template <typename Line>
std::optional<Line> WaitForLine(const std::function<std::vector<Line>()>& lines,
                                const std::function<bool(const Line&)>& match, Millis timeout) {
    std::optional<Line> found;
    WaitUntil(
        [&] {
            for (auto& line : lines()) {
                if (match(line)) {
                    found = std::move(line);
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

// Parses one line; nullopt when it does not start with a counter and an event name.
std::optional<LogLine> ParseLogLine(const std::string& line);

class EventLog {
  public:
    explicit EventLog(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const { return path_; }
    // Every complete line written so far (the file is read again each time).
    std::vector<LogLine> Lines() const;
    // Lines of one event ("key", "selection", ...).
    std::vector<LogLine> Lines(const std::string& event) const;
    // Waits for a line that satisfies `match`; returns it, or nullopt on timeout.
    std::optional<LogLine> WaitFor(const std::function<bool(const LogLine&)>& match,
                                   Millis timeout = kDefaultTimeout) const;
    // The whole file, for failure messages.
    std::string Text() const;

  private:
    std::wstring path_;
};

}  // namespace e2e
