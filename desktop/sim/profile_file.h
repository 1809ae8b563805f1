#pragma once
// Windows profile-file (INI) behaviour over real files on disk, in ANSI bytes:
// section and key names match without regard to case, spaces around names and values
// are not part of them, and a write keeps every other line, comment and section as
// it was.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace desktop::sim {

// The value of the first matching key in the first matching section; nullopt when
// the file, the section or the key is absent (or the file cannot be read).
std::optional<std::string> ReadProfileValue(const std::filesystem::path& file,
                                            std::string_view section, std::string_view key);

// Sets the value, adding the key to the end of the section and the section to the end
// of the file as needed; creates the file when absent. Replaces the file atomically
// (a temporary file in the same folder, then a rename). False, with the file
// untouched, when it cannot be written.
bool WriteProfileValue(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value);

}  // namespace desktop::sim
