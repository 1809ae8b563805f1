// Fuzz target: the simulated desktop's profile-file reader and writer
// (desktop/sim/profile_file.h), on a real file in a scratch folder.
//
// Input, split at its first three line feeds:
//   line 1: the section, line 2: the key, line 3: the value, then the file's bytes.
// With fewer than three line feeds there is no file before the write; with three and
// nothing after them, the file is empty. NUL and CR are removed from the section, key
// and value (the Win32 calls take C strings, and a profile line cannot hold a break).
// The key, trimmed as the reader trims (space, tab, CR, VT, FF), must be a name a
// profile line can hold: not empty, no '=', not starting with ';' (a comment) or '['
// (a section header); other inputs are skipped. Section and key are passed with the
// blanks around them, as a caller might.
//
// Properties, after WriteProfileValue(file, section, key, value):
//  - the write succeeds, and nothing but the file is left in the folder;
//  - reading the key gives the value as the reader returns values: trimmed, and
//    without one pair of matching quotes (' or ") around it;
//  - the file keeps every other line. Lines are the bytes between line feeds (a CR
//    before a line feed is part of its line); a UTF-8 byte-order mark at the start
//    belongs to no line and must still be at the start; the original's last line, when
//    it has no line feed, may gain one and the CR before it. Then the new file's lines
//    are the original's with at most one run changed: at most one original line, which
//    names the key (text before its '=', trimmed, equal to the key ignoring ASCII case),
//    gives way to at most two new lines, the last of which names the key;
//  - writing the same value again leaves the file byte for byte as it is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/sim/profile_file.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::Escaped;
using fuzz_support::Require;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string WithoutNulAndCr(std::string_view s) {
    std::string out;
    for (const char c : s) {
        if (c != '\0' && c != '\r') out += c;
    }
    return out;
}

// The value a read returns for a written value.
std::string AsRead(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

bool NamesKey(std::string_view line, std::string_view key) {
    std::string_view text = line;
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    if (text.empty() || text.front() == ';') return false;
    const auto eq = text.find('=');
    return eq != std::string_view::npos && SameIgnoringAsciiCase(Trim(text.substr(0, eq)), key);
}

struct Lines {
    std::vector<std::string_view> lines;
    bool lastHasBreak = true;  // false when the last line ends without a line feed
};

Lines SplitLines(std::string_view bytes) {
    Lines out;
    while (!bytes.empty()) {
        const auto lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            out.lines.push_back(bytes);
            out.lastHasBreak = false;
            break;
        }
        out.lines.push_back(bytes.substr(0, lf));
        bytes.remove_prefix(lf + 1);
    }
    return out;
}

std::string Report(std::string_view before, std::string_view after) {
    return "before: " + Escaped(before) + "\nafter:  " + Escaped(after);
}

void CheckOtherLinesKept(std::string_view before, std::string_view after, std::string_view key) {
    if (before.starts_with(kBom)) {
        Require(after.starts_with(kBom), "the byte-order mark stays at the start",
                Report(before, after));
        before.remove_prefix(kBom.size());
        after.remove_prefix(kBom.size());
    }
    const Lines old = SplitLines(before);
    const Lines now = SplitLines(after);
    const std::size_t oldCount = old.lines.size();
    const std::size_t newCount = now.lines.size();

    auto same = [&](std::size_t i, std::size_t j) {
        const std::string_view a = old.lines[i];
        const std::string_view b = now.lines[j];
        if (a == b) return true;
        // The original's unterminated last line may have been given a CRLF.
        const bool unterminatedLast = i + 1 == oldCount && !old.lastHasBreak;
        return unterminatedLast && b.size() == a.size() + 1 && b.back() == '\r' && b.starts_with(a);
    };

    std::size_t prefix = 0;
    while (prefix < oldCount && prefix < newCount && same(prefix, prefix)) ++prefix;
    std::size_t suffix = 0;
    while (suffix < oldCount - prefix && suffix < newCount - prefix &&
           same(oldCount - 1 - suffix, newCount - 1 - suffix)) {
        ++suffix;
    }
    const std::size_t oldRun = oldCount - prefix - suffix;
    const std::size_t newRun = newCount - prefix - suffix;
    Require(oldRun <= 1 && newRun <= 2,
            "one run changes: at most one old line gives way to at most two new ones",
            Report(before, after));
    if (oldRun == 1) {
        Require(NamesKey(old.lines[prefix], key), "the one line that goes is the key's line",
                Report(before, after));
    }
    if (newRun > 0) {
        Require(NamesKey(now.lines[prefix + newRun - 1], key),
                "the last line that comes is the key's line", Report(before, after));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz_support::ScratchFolder scratch;

    std::string_view input = fuzz_support::AsText(data, size);
    std::string_view fields[3];
    bool fileExists = true;
    for (auto& field : fields) {
        const auto lf = input.find('\n');
        if (lf == std::string_view::npos) {
            field = input;
            input = {};
            fileExists = false;
        } else {
            field = input.substr(0, lf);
            input.remove_prefix(lf + 1);
        }
    }
    const std::string section = WithoutNulAndCr(fields[0]);
    const std::string key = WithoutNulAndCr(fields[1]);
    const std::string value = WithoutNulAndCr(fields[2]);
    const std::string_view trimmedKey = Trim(key);
    if (trimmedKey.empty() || trimmedKey.find('=') != std::string_view::npos ||
        trimmedKey.front() == ';' || trimmedKey.front() == '[') {
        return 0;  // not a name a profile line can hold
    }

    scratch.Clear();
    const auto file = scratch.Path() / "fuzz.ini";
    const std::string before(input);
    if (fileExists) fuzz_support::WriteFile(file, before);

    const std::string what = "[" + Escaped(section) + "] " + Escaped(key) + "=" + Escaped(value);
    Require(desktop::sim::WriteProfileValue(file, section, key, value),
            "a write into a writable folder succeeds", what);
    Require(scratch.EntryCount() == 1, "nothing but the file is left in the folder", what);

    const std::optional<std::string> read = desktop::sim::ReadProfileValue(file, section, key);
    Require(read.has_value(), "the key just written is found", what);
    Require(*read == AsRead(value), "the key reads back as written",
            what + "\nread: " + Escaped(*read));

    const std::string after = fuzz_support::ReadFile(file);
    CheckOtherLinesKept(fileExists ? std::string_view(before) : std::string_view(), after,
                        trimmedKey);

    Require(desktop::sim::WriteProfileValue(file, section, key, value),
            "writing the same value again succeeds", what);
    Require(fuzz_support::ReadFile(file) == after, "writing the same value again changes nothing",
            what + "\n" + Report(after, fuzz_support::ReadFile(file)));
    return 0;
}
