#pragma once
// Small text helpers shared by both programs. Text inside the programs is UTF-16.
#include <string>
#include <string_view>

namespace common {

// Removes leading and trailing spaces (only spaces, as the classic Trim does).
std::u16string TrimSpaces(std::u16string_view text);
// For messages and test output.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace common
