#pragma once
// Reading the stand-ins' logs (the format is e2e/standin/line_log.h's): one event a line,
//   <QueryPerformanceCounter> <pid> <event> name=value name="quoted text" ...
// with the key lines of e2e/standin/key_logger.h among them.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver/wait.h"

namespace e2e {

struct LogLine {
    std::int64_t ticks = 0;
    DWORD pid = 0;
    std::string event;
    // Quoted values unquoted and unescaped.
    std::map<std::string, std::string> fields;
    std::string raw;

    // The field's value, or "" when the line has no such field.
    std::string Field(const std::string& name) const;
    // A WM_KEYDOWN or WM_SYSKEYDOWN that came from the keyboard (its repeat count is not 0).
    bool IsTypedKeyDown() const;
    // A key line as "WM_SYSKEYDOWN MENU", "WM_KEYDOWN TAB"...: the message and the key.
    std::string KeyText() const;
};

// Parses one line; nullopt when it does not start with a counter, a pid and an event.
std::optional<LogLine> ParseLogLine(const std::string& line);

// The lines of `text` that a line feed has ended (a CR before it dropped): a line still
// being written is not read half-way.
std::vector<std::string> CompleteLines(const std::string& text);

// Counter ticks in milliseconds: the stand-ins run on this machine, with this counter.
double TicksToMillis(std::int64_t ticks);

// The lines' raw text, one a line, for failure messages.
std::string RawText(const std::vector<LogLine>& lines);

class EventLog {
  public:
    explicit EventLog(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const { return path_; }
    // Every complete line written so far, by every process writing to this file (the file
    // is read again each time).
    std::vector<LogLine> Lines() const;
    // Lines of one event ("key", "selection", ...).
    std::vector<LogLine> Lines(const std::string& event) const;
    // The processes that wrote to this file, in the order of their "start" lines.
    std::vector<DWORD> Pids() const;
    // The key-downs that process `pid` received from the keyboard, in order, as KeyText.
    std::vector<std::string> TypedKeyDowns(DWORD pid) const;
    // Waits for a line that satisfies `match`; returns it, or nullopt on timeout.
    std::optional<LogLine> WaitFor(const std::function<bool(const LogLine&)>& match,
                                   Millis timeout = kDefaultTimeout) const;
    // The whole file, for failure messages.
    std::string Text() const;
    // The file without key-ups, classes, titles and lParams: a failure message that a
    // shortened log still shows whole.
    std::string Brief() const;

  private:
    std::wstring path_;
};

// The lines of several logs in the order they were written, as Brief gives them, each
// with its time in milliseconds since the first.
std::string Brief(std::initializer_list<const EventLog*> logs);

}  // namespace e2e
