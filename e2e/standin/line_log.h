#pragma once
// The stand-ins' log: one event a line, appended to a file that the tests read while the
// stand-in runs (e2e/driver/event_log.h reads it):
//   <QueryPerformanceCounter> <pid> <event> name=value name="quoted text" ...
// Quoted text escapes a backslash and a double quote with a backslash, and a control
// character as \xNN. Several processes and threads may append to one file: each line is
// one WriteFile call on a handle opened for appending, so lines never interleave, and a
// reader sees a line as soon as the call returns, even if the writer dies right after.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

class LineLog {
  public:
    // One line being written; it goes to the file when the statement that built it ends.
    class Line {
      public:
        Line(const LineLog& log, std::string_view event);
        ~Line();
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;

        Line& Word(std::string_view name, std::string_view value);
        Line& Number(std::string_view name, std::int64_t value);
        Line& Hex(std::string_view name, std::uint64_t value);
        Line& Hex(std::string_view name, const void* handle);
        Line& Text(std::string_view name, std::wstring_view text);

      private:
        const LineLog& log_;
        std::string text_;
    };

    // No file (an empty path): lines go nowhere.
    explicit LineLog(const std::wstring& path);
    ~LineLog();
    LineLog(const LineLog&) = delete;
    LineLog& operator=(const LineLog&) = delete;

    Line operator()(std::string_view event) const { return Line(*this, event); }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// QueryPerformanceFrequency: each process logs it in its first line, "start qpf=...".
std::int64_t CounterFrequency();
std::string ToUtf8(std::wstring_view text);
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

}  // namespace standin
