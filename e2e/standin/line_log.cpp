#include "e2e/standin/line_log.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace standin {

namespace {

std::string HexDigits(std::uint64_t value, int digits) {
    std::array<char, 24> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%0*llX", digits,
                  static_cast<unsigned long long>(value));
    return buffer.data();
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
    const int wideLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

std::wstring WindowText(HWND window) {
    std::array<wchar_t, 256> buffer{};
    GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

std::wstring ClassName(HWND window) {
    std::array<wchar_t, 128> buffer{};
    GetClassNameW(window, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

LineLog::LineLog(const std::wstring& path) {
    if (!path.empty()) {
        file_ = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
}

LineLog::~LineLog() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

std::int64_t CounterFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

LineLog::Line::Line(const LineLog& log, std::string_view event) : log_(log) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    text_ = std::to_string(now.QuadPart) + " " + std::to_string(GetCurrentProcessId()) + " ";
    text_ += event;
}

LineLog::Line::~Line() {
    if (log_.file_ != INVALID_HANDLE_VALUE) {
        text_ += '\n';
        DWORD written = 0;
        WriteFile(log_.file_, text_.data(), static_cast<DWORD>(text_.size()), &written, nullptr);
    }
}

LineLog::Line& LineLog::Line::Word(std::string_view name, std::string_view value) {
    text_.append(" ").append(name).append("=").append(value);
    return *this;
}

LineLog::Line& LineLog::Line::Number(std::string_view name, std::int64_t value) {
    return Word(name, std::to_string(value));
}

LineLog::Line& LineLog::Line::Hex(std::string_view name, std::uint64_t value) {
    return Word(name, "0x" + HexDigits(value, 8));
}

LineLog::Line& LineLog::Line::Hex(std::string_view name, const void* handle) {
    return Hex(name, reinterpret_cast<std::uintptr_t>(handle));
}

LineLog::Line& LineLog::Line::Text(std::string_view name, std::wstring_view text) {
    std::string quoted = "\"";
    for (const char c : ToUtf8(text)) {
        if (c == '"' || c == '\\') {
            quoted.append(1, '\\').append(1, c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            quoted += "\\x" + HexDigits(static_cast<unsigned char>(c), 2);
        } else {
            quoted += c;
        }
    }
    return Word(name, quoted + "\"");
}

}  // namespace standin
