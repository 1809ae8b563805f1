#pragma once
// The simulated desktop's ANSI code page: Windows-1252, as on a Western-European
// Windows. Characters it cannot hold become their best fit (A for A-macron) or '?', as
// WideCharToMultiByte makes them.
#include <string>
#include <string_view>

namespace desktop::sim {

std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view bytes);

}  // namespace desktop::sim
