#include "e2e/driver/volume_standin.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "e2e/driver/event_log.h"
#include "e2e/driver/process.h"

namespace e2e {

namespace {

constexpr wchar_t kOptionsVariable[] = L"STANDIN_SNDVOL32_OPTIONS";

bool IsSpace(char ch) { return ch == ' ' || ch == '\t'; }

// The word at `pos` up to the next space or `stop`.
std::string WordAt(const std::string& line, size_t& pos, char stop = '\0') {
    const size_t start = pos;
    while (pos < line.size() && !IsSpace(line[pos]) && line[pos] != stop) {
        ++pos;
    }
    return line.substr(start, pos - start);
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    return -1;
}

// A quoted value starting at the quote at `pos`, as the stand-in writes titles:
// backslash and quote escaped with a backslash, control characters as \xNN.
std::optional<std::string> QuotedAt(const std::string& line, size_t& pos) {
    std::string value;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        const char ch = line[i];
        if (ch == '"') {
            pos = i + 1;
            return value;
        }
        if (ch != '\\' || i + 1 >= line.size()) {
            value += ch;
            continue;
        }
        const char next = line[++i];
        if (next == 'x' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
            HexDigit(line[i + 2]) >= 0) {
            value += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
            i += 2;
        } else {
            value += next;
        }
    }
    return std::nullopt;
}

// A character quoted as '<c>' at `pos`: one UTF-8 sequence between single quotes, which
// may itself be a space or a quote.
std::optional<std::string> CharacterAt(const std::string& line, size_t& pos) {
    if (pos + 2 >= line.size()) {
        return std::nullopt;
    }
    const auto lead = static_cast<unsigned char>(line[pos + 1]);
    size_t length = 1;
    if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    const size_t close = pos + 1 + length;
    if (close >= line.size() || line[close] != '\'') {
        return std::nullopt;
    }
    std::string word = line.substr(pos, length + 2);
    pos = close + 1;
    return word;
}

template <typename Number>
bool NumberAt(const std::string& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::wstring InstalledVolumeControlPath() {
    std::array<wchar_t, MAX_PATH + 1> buffer{};
    const UINT length = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    return std::wstring(buffer.data(), length) + L"\\SNDVOL32.EXE";
}

std::vector<std::wstring> VolumeArguments(const VolumeOptions& options) {
    std::vector<std::wstring> args;
    if (options.delayMs) {
        args.push_back(L"/delay:" + std::to_wstring(*options.delayMs));
    }
    if (options.noSwitch) {
        args.emplace_back(L"/noswitch");
    }
    if (options.noActivate) {
        args.emplace_back(L"/noactivate");
    }
    if (options.crashMs) {
        args.push_back(L"/crash:" + std::to_wstring(*options.crashMs));
    }
    if (!options.logPath.empty()) {
        args.push_back(L"/log:" + options.logPath);
    }
    return args;
}

VolumeOptionsForChildren::VolumeOptionsForChildren(const VolumeOptions& options) {
    const DWORD needed = GetEnvironmentVariableW(kOptionsVariable, nullptr, 0);
    if (needed > 0) {
        std::wstring value(needed, L'\0');
        const DWORD length = GetEnvironmentVariableW(kOptionsVariable, value.data(), needed);
        value.resize(length < needed ? length : 0);
        previous_ = std::move(value);
    }
    std::wstring text;
    for (const auto& arg : VolumeArguments(options)) {
        text += (text.empty() ? L"" : L" ") + QuoteArgument(arg);
    }
    SetEnvironmentVariableW(kOptionsVariable, text.c_str());
}

VolumeOptionsForChildren::~VolumeOptionsForChildren() {
    SetEnvironmentVariableW(kOptionsVariable, previous_ ? previous_->c_str() : nullptr);
}

namespace {

BOOL CALLBACK CollectVolumeWindow(HWND window, LPARAM param) {
    std::array<wchar_t, 64> name{};
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    if (std::wstring(name.data(), static_cast<size_t>(length)) == kVolumeControlClass) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> VolumeControlWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectVolumeWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string VolumeLogLine::Field(const std::string& field) const {
    const auto it = fields.find(field);
    return it == fields.end() ? std::string() : it->second;
}

bool VolumeLogLine::HasWord(const std::string& word) const {
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool VolumeLogLine::IsTypedKeyDown() const {
    return kind == "key" && (name == "WM_KEYDOWN" || name == "WM_SYSKEYDOWN") &&
           !HasWord("synthetic");
}

std::string VolumeLogLine::KeyText() const {
    return name + " " + (words.empty() ? Field("vk") : words.front());
}

std::optional<VolumeLogLine> ParseVolumeLogLine(const std::string& line) {
    VolumeLogLine parsed;
    parsed.raw = line;
    size_t pos = 0;
    if (!NumberAt(WordAt(line, pos), parsed.ticks) || pos >= line.size()) {
        return std::nullopt;
    }
    ++pos;
    const std::string pid = WordAt(line, pos);
    if (!pid.starts_with("pid=") || !NumberAt(pid.substr(4), parsed.pid) || pos >= line.size()) {
        return std::nullopt;
    }
    ++pos;
    parsed.kind = WordAt(line, pos);
    if (parsed.kind != "key" && parsed.kind != "event") {
        return std::nullopt;
    }
    ++pos;
    parsed.name = WordAt(line, pos);
    if (parsed.name.empty()) {
        return std::nullopt;
    }
    while (pos < line.size()) {
        if (IsSpace(line[pos])) {
            ++pos;
            continue;
        }
        if (line[pos] == '\'') {
            auto character = CharacterAt(line, pos);
            if (!character) {
                return std::nullopt;
            }
            parsed.words.push_back(std::move(*character));
            continue;
        }
        std::string word = WordAt(line, pos, '=');
        if (pos >= line.size() || line[pos] != '=') {
            parsed.words.push_back(std::move(word));
            continue;
        }
        ++pos;
        if (pos < line.size() && line[pos] == '"') {
            auto value = QuotedAt(line, pos);
            if (!value) {
                return std::nullopt;
            }
            parsed.fields[word] = std::move(*value);
        } else {
            parsed.fields[word] = WordAt(line, pos);
        }
    }
    return parsed;
}

std::string VolumeLog::Text() const { return EventLog(path_).Text(); }

namespace {

std::string BriefLines(const std::vector<VolumeLogLine>& lines, bool timed) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    std::string brief;
    for (const VolumeLogLine& line : lines) {
        if (line.kind == "key" && line.name.ends_with("KEYUP")) continue;
        if (timed) {
            const auto ms = (line.ticks - lines.front().ticks) * 1000 / frequency.QuadPart;
            brief.append("+").append(std::to_string(ms)).append(" ms ");
        }
        brief.append("pid=").append(std::to_string(line.pid));
        brief.append(" ").append(line.kind).append(" ").append(line.name);
        if (line.kind == "key") {
            for (const auto& word : line.words) brief.append(" ").append(word);
            brief.append(" hwnd=").append(line.Field("hwnd"));
            brief.append(" via=").append(line.Field("via"));
        } else {
            for (const auto& [name, value] : line.fields) {
                brief.append(" ").append(name).append("=").append(value);
            }
        }
        brief.append("\n");
    }
    return brief;
}

}  // namespace

std::string VolumeLog::Brief() const { return BriefLines(Lines(), false); }

std::string Brief(std::initializer_list<const VolumeLog*> logs) {
    std::vector<VolumeLogLine> lines;
    for (const VolumeLog* log : logs) {
        auto more = log->Lines();
        lines.insert(lines.end(), more.begin(), more.end());
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.ticks < b.ticks; });
    return BriefLines(lines, true);
}

std::vector<VolumeLogLine> VolumeLog::Lines() const {
    std::vector<VolumeLogLine> lines;
    for (const auto& line : CompleteLines(Text())) {
        if (auto parsed = ParseVolumeLogLine(line)) {
            lines.push_back(std::move(*parsed));
        }
    }
    return lines;
}

std::vector<VolumeLogLine> VolumeLog::Lines(DWORD pid) const {
    auto lines = Lines();
    std::erase_if(lines, [pid](const VolumeLogLine& line) { return line.pid != pid; });
    return lines;
}

std::vector<DWORD> VolumeLog::Pids() const {
    std::vector<DWORD> pids;
    for (const auto& line : Lines()) {
        if (line.IsEvent("start")) {
            pids.push_back(line.pid);
        }
    }
    return pids;
}

std::vector<std::string> VolumeLog::TypedKeyDowns(DWORD pid) const {
    std::vector<std::string> keys;
    for (const auto& line : Lines(pid)) {
        if (line.IsTypedKeyDown()) {
            keys.push_back(line.KeyText());
        }
    }
    return keys;
}

std::optional<VolumeLogLine> VolumeLog::WaitFor(
    const std::function<bool(const VolumeLogLine&)>& match, Millis timeout) const {
    return WaitForLine<VolumeLogLine>([this] { return Lines(); }, match, timeout);
}

}  // namespace e2e
