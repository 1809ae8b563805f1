#include "e2e/driver/event_log.h"

#include <windows.h>

#include <charconv>

#include "e2e/driver/environment.h"

namespace e2e {

namespace {

// The end of a quoted value: a quote followed by a space or the end of the line, so a
// value may itself contain quotes (char=""" is the character ").
size_t ClosingQuote(const std::string& line, size_t open) {
    for (size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] == '"' && (i + 1 == line.size() || line[i + 1] == ' ')) {
            return i;
        }
    }
    return std::string::npos;
}

}  // namespace

std::string LogLine::Field(const std::string& name) const {
    const auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

std::optional<LogLine> ParseLogLine(const std::string& line) {
    LogLine parsed;
    parsed.raw = line;
    const size_t firstSpace = line.find(' ');
    if (firstSpace == std::string::npos) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(line.data(), line.data() + firstSpace, parsed.ticks);
    if (error != std::errc() || end != line.data() + firstSpace) {
        return std::nullopt;
    }
    size_t pos = firstSpace + 1;
    const size_t eventEnd = std::min(line.find(' ', pos), line.size());
    parsed.event = line.substr(pos, eventEnd - pos);
    if (parsed.event.empty()) {
        return std::nullopt;
    }
    pos = eventEnd + 1;
    while (pos < line.size()) {
        const size_t equals = line.find('=', pos);
        if (equals == std::string::npos) {
            break;
        }
        const std::string name = line.substr(pos, equals - pos);
        size_t valueEnd = 0;
        std::string value;
        if (equals + 1 < line.size() && line[equals + 1] == '"') {
            const size_t close = ClosingQuote(line, equals + 1);
            if (close == std::string::npos) {
                break;
            }
            value = line.substr(equals + 2, close - equals - 2);
            valueEnd = close + 1;
        } else {
            valueEnd = std::min(line.find(' ', equals), line.size());
            value = line.substr(equals + 1, valueEnd - equals - 1);
        }
        parsed.fields[name] = value;
        pos = valueEnd + 1;
    }
    return parsed;
}

std::string EventLog::Text() const { return ReadBytes(path_).value_or(""); }

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
    std::vector<LogLine> matching;
    for (auto& line : Lines()) {
        if (line.event == event) {
            matching.push_back(std::move(line));
        }
    }
    return matching;
}

std::optional<LogLine> EventLog::WaitFor(const std::function<bool(const LogLine&)>& match,
                                         Millis timeout) const {
    return WaitForLine<LogLine>([this] { return Lines(); }, match, timeout);
}

}  // namespace e2e
