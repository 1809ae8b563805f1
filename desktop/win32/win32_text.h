#pragma once
// The programs' UTF-16 text as the W functions take it, and the ANSI code page only
// for the A functions that need it.
#include <windows.h>

#include <string>
#include <string_view>

namespace desktop::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "MinGW wchar_t is UTF-16");

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view text);

// "the system's text (error n)", in UTF-8 for DesktopError.
std::string ErrorText(DWORD error);

// Clamped for the DWORD timeouts of the wait functions; never INFINITE.
DWORD TimeoutMillis(long long millis);

}  // namespace desktop::win32
