#include "e2e/driver/event_log.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "e2e/driver/environment.h"

namespace e2e {

namespace {

// The word at `pos` up to the next space or `stop`; `pos` moves past it.
std::string WordAt(const std::string& line, size_t& pos, char stop = ' ') {
    const size_t end = std::min(line.find_first_of(std::string(" ") + stop, pos), line.size());
    std::string word = line.substr(pos, end - pos);
    pos = end;
    return word;
}

template <typename Number>
bool ReadNumber(const std::string& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The quoted text starting at the quote at `pos`, unescaped; `pos` moves past it.
std::optional<std::string> QuotedAt(const std::string& line, size_t& pos) {
    std::string value;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            pos = i + 1;
            return value;
        }
        if (line[i] != '\\' || i + 1 >= line.size()) {
            value += line[i];
        } else if (line[++i] == 'x' && i + 2 < line.size()) {
            value += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            value += line[i];
        }
    }
    return std::nullopt;
}

}  // namespace

std::string LogLine::Field(const std::string& name) const {
    const auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

bool LogLine::IsTypedKeyDown() const {
    const std::string msg = Field("msg");
    return event == "key" && (msg == "WM_KEYDOWN" || msg == "WM_SYSKEYDOWN") &&
           (std::strtoul(Field("lparam").c_str(), nullptr, 16) & 0xFFFF) != 0;
}

std::string LogLine::KeyText() const { return Field("msg") + " " + Field("key"); }

std::optional<LogLine> ParseLogLine(const std::string& line) {
    LogLine parsed;
    parsed.raw = line;
    size_t pos = 0;
    if (!ReadNumber(WordAt(line, pos), parsed.ticks) || pos >= line.size() ||
        !ReadNumber(WordAt(line, ++pos), parsed.pid) || pos >= line.size()) {
        return std::nullopt;
    }
    parsed.event = WordAt(line, ++pos);
    if (parsed.event.empty()) {
        return std::nullopt;
    }
    while (pos < line.size()) {
        const std::string name = WordAt(line, ++pos, '=');
        if (pos >= line.size() || line[pos] != '=') {
            continue;
        }
        if (++pos < line.size() && line[pos] == '"') {
            auto value = QuotedAt(line, pos);
            if (!value) {
                return std::nullopt;
            }
            parsed.fields[name] = std::move(*value);
        } else {
            parsed.fields[name] = WordAt(line, pos);
        }
    }
    return parsed;
}

std::vector<std::string> CompleteLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    for (size_t end = text.find('\n'); end != std::string::npos;
         pos = end + 1, end = text.find('\n', pos)) {
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

double TicksToMillis(std::int64_t ticks) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string RawText(const std::vector<LogLine>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line.raw + "\n";
    }
    return text;
}

std::string EventLog::Text() const { return ReadBytes(path_).value_or(""); }

std::vector<LogLine> EventLog::Lines() const {
    std::vector<LogLine> lines;
    for (const auto& line : CompleteLines(Text())) {
        if (auto parsed = ParseLogLine(line)) {
            lines.push_back(std::move(*parsed));
        }
    }
    return lines;
}

std::vector<LogLine> EventLog::Lines(const std::string& event) const {
    auto lines = Lines();
    std::erase_if(lines, [&](const LogLine& line) { return line.event != event; });
    return lines;
}

std::vector<DWORD> EventLog::Pids() const {
    std::vector<DWORD> pids;
    for (const auto& line : Lines("start")) {
        pids.push_back(line.pid);
    }
    return pids;
}

std::vector<std::string> EventLog::TypedKeyDowns(DWORD pid) const {
    std::vector<std::string> keys;
    for (const auto& line : Lines("key")) {
        if (line.pid == pid && line.IsTypedKeyDown()) {
            keys.push_back(line.KeyText());
        }
    }
    return keys;
}

std::optional<LogLine> EventLog::WaitFor(const std::function<bool(const LogLine&)>& match,
                                         Millis timeout) const {
    std::optional<LogLine> found;
    WaitUntil(
        [&] {
            for (auto& line : Lines()) {
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

namespace {

std::string BriefLines(const std::vector<LogLine>& lines, bool timed) {
    std::string brief;
    for (const LogLine& line : lines) {
        const bool key = line.event == "key";
        if (key && line.Field("msg").ends_with("KEYUP")) {
            continue;
        }
        if (timed) {
            const auto ms = static_cast<long long>(TicksToMillis(line.ticks - lines.front().ticks));
            brief.append("+").append(std::to_string(ms)).append(" ms ");
        }
        brief.append("pid=").append(std::to_string(line.pid)).append(" ").append(line.event);
        for (const auto& [name, value] : line.fields) {
            if (!key || name == "msg" || name == "key" || name == "char" || name == "hwnd") {
                brief.append(" ").append(name).append("=").append(value);
            }
        }
        brief.append("\n");
    }
    return brief;
}

}  // namespace

std::string EventLog::Brief() const { return BriefLines(Lines(), false); }

std::string Brief(std::initializer_list<const EventLog*> logs) {
    std::vector<LogLine> lines;
    for (const EventLog* log : logs) {
        auto more = log->Lines();
        lines.insert(lines.end(), more.begin(), more.end());
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.ticks < b.ticks; });
    return BriefLines(lines, true);
}

}  // namespace e2e
