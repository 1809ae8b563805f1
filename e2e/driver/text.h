#pragma once
// UTF-8 and UTF-16 conversions for messages, logs and file contents.
#include <string>
#include <string_view>

namespace e2e {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace e2e
