#include "desktop/sim/profile_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace desktop::sim {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Windows trims all of these, not only spaces; a stray CR before LF is one of them.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return s.substr(i);
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    std::size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return s.substr(0, n);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Windows drops one pair of matching quotes, single or double, around a value.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// What a single pass over the file finds for one section and key. Offsets are into
// the file's bytes.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    // The key line without its line ending.
    std::size_t keyLineBegin = 0;
    std::size_t keyLineEnd = 0;
    std::string_view keySpelling;
    std::string_view value;
    // Just after the section's last non-blank line, where a new key goes; that line
    // may be the file's last and lack a line break.
    std::size_t sectionEnd = 0;
    bool sectionEndHasBreak = true;
};

// Only the first section with the name counts, as in Windows: a key missing there is
// missing, even if a later duplicate section holds it. Within it, the first key wins.
Location Locate(std::string_view bytes, std::string_view section, std::string_view key) {
    Location found;
    bool inside = false;
    // A byte-order mark belongs to no line; it stays in place because writes splice.
    std::size_t pos = bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < bytes.size()) {
        const std::size_t lf = bytes.find('\n', pos);
        const bool hasBreak = lf != std::string_view::npos;
        const std::size_t next = hasBreak ? lf + 1 : bytes.size();
        std::size_t end = hasBreak ? lf : bytes.size();
        if (hasBreak && end > pos && bytes[end - 1] == '\r') --end;
        const std::string_view line = bytes.substr(pos, end - pos);
        const std::string_view text = TrimLeft(line);

        if (!text.empty() && text.front() == '[') {
            // The last ']' closes the name, so "[a]b]" names "a]b"; a line with no ']'
            // is not a header.
            if (const auto close = text.rfind(']'); close != std::string_view::npos) {
                if (inside) return found;
                if (SameIgnoringCase(Trim(text.substr(1, close - 1)), section)) {
                    inside = true;
                    found.sectionFound = true;
                    found.sectionEnd = next;
                    found.sectionEndHasBreak = hasBreak;
                }
                pos = next;
                continue;
            }
        }
        if (inside) {
            if (!Trim(line).empty()) {
                found.sectionEnd = next;
                found.sectionEndHasBreak = hasBreak;
            }
            // A line without '=' is not a key; writing that name adds a proper line.
            if (!text.empty() && text.front() != ';') {
                if (const auto eq = text.find('='); eq != std::string_view::npos) {
                    const std::string_view name = Trim(text.substr(0, eq));
                    if (SameIgnoringCase(name, key)) {
                        found.keyFound = true;
                        found.keyLineBegin = pos;
                        found.keyLineEnd = end;
                        found.keySpelling = name;
                        found.value = Trim(text.substr(eq + 1));
                        return found;
                    }
                }
            }
        }
        pos = next;
    }
    return found;
}

// New lines follow the file's first line break; a file without one gets CRLF, as
// Windows writes it.
std::string_view LineEnding(std::string_view bytes) {
    const std::size_t lf = bytes.find('\n');
    if (lf != std::string_view::npos && (lf == 0 || bytes[lf - 1] != '\r')) return "\n";
    return "\r\n";
}

std::string Rewrite(std::string_view bytes, std::string_view section, std::string_view key,
                    std::string_view value) {
    const Location at = Locate(bytes, section, key);
    const std::string_view eol = LineEnding(bytes);
    std::string out;
    out.reserve(bytes.size() + section.size() + key.size() + value.size() + 8);
    if (at.keyFound) {
        // Indentation and spacing of the old line go; the key keeps its spelling.
        out.append(bytes.substr(0, at.keyLineBegin));
        out.append(at.keySpelling).append("=").append(value);
        out.append(bytes.substr(at.keyLineEnd));
    } else if (at.sectionFound) {
        // After the last non-blank line, so blank lines separating sections stay last.
        out.append(bytes.substr(0, at.sectionEnd));
        if (!at.sectionEndHasBreak) out.append(eol);
        out.append(key).append("=").append(value).append(eol);
        out.append(bytes.substr(at.sectionEnd));
    } else {
        out.append(bytes);
        const bool onlyBom = bytes.size() == kUtf8Bom.size() && bytes.starts_with(kUtf8Bom);
        if (!bytes.empty() && !onlyBom && bytes.back() != '\n') out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
    }
    return out;
}

bool ReadAll(const fs::path& file, std::string& out) {
    // Only regular files: reading a FIFO or device could block for ever.
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        out.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    return !in.bad();
}

// Root may write anything, so the permission bits are checked as well as access():
// the simulated desktop must refuse a read-only file as a user's Windows would.
bool Writable(const fs::path& path, fs::perms perms) {
    constexpr fs::perms kAnyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (perms & kAnyWrite) != fs::perms::none && ::access(path.c_str(), W_OK) == 0;
}

bool WriteFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Readers see either the old file or the new one, never half of it.
bool ReplaceAtomically(const fs::path& target, const fs::path& folder, std::string_view bytes,
                       std::optional<fs::perms> keepPerms) {
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path temp =
            folder / (target.filename().string() + ".~" + std::to_string(::getpid()) + "-" +
                      std::to_string(serial++) + ".tmp");
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        bool ok = WriteFully(fd, bytes);
        ok = ::fsync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        std::error_code ec;
        if (ok && keepPerms) {
            fs::permissions(temp, *keepPerms, ec);
            ok = !ec;
        }
        if (ok) {
            fs::rename(temp, target, ec);
            ok = !ec;
        }
        if (!ok) fs::remove(temp, ec);
        return ok;
    }
    return false;
}

}  // namespace

std::optional<std::string> ReadProfileValue(const fs::path& file, std::string_view section,
                                            std::string_view key) {
    std::string bytes;
    if (!ReadAll(file, bytes)) return std::nullopt;
    const Location at = Locate(bytes, Trim(section), Trim(key));
    if (!at.keyFound) return std::nullopt;
    return std::string(Unquote(at.value));
}

bool WriteProfileValue(const fs::path& file, std::string_view section, std::string_view key,
                       std::string_view value) {
    std::error_code ec;
    // Write through a link to the file it names rather than replacing the link.
    fs::path target = file;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        target = fs::canonical(file, ec);
        if (ec) return false;
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = status.type() != fs::file_type::not_found;
    if (exists && (ec || !fs::is_regular_file(status) || !Writable(target, status.permissions()))) {
        return false;
    }
    // Missing folders are not created, as Windows does not create them.
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const fs::file_status folderStatus = fs::status(folder, ec);
    if (ec || !fs::is_directory(folderStatus) || !Writable(folder, folderStatus.permissions())) {
        return false;
    }

    std::string bytes;
    if (exists && !ReadAll(target, bytes)) return false;
    // Values go in as given, as Windows writes them; spaces around names are not names.
    const std::string updated = Rewrite(bytes, Trim(section), Trim(key), value);
    return ReplaceAtomically(target, folder, updated,
                             exists ? std::optional(status.permissions()) : std::nullopt);
}

}  // namespace desktop::sim
