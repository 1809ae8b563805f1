#pragma once
// The simulated desktop's case rules. Windows upper-cases by its own Unicode table;
// here the C library's Unicode table (glibc's C.UTF-8 locale) stands in for it.
#include <string>
#include <string_view>

namespace desktop::sim {

std::u16string UpperCase(std::u16string_view text);

}  // namespace desktop::sim
