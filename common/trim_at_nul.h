#pragma once
#include <string>
#include <string_view>

namespace common {

// The characters of a buffer filled by the system, up to its first NUL. A text
// without a NUL comes back whole.
std::u16string TrimAtNul(std::u16string_view text);

}  // namespace common
