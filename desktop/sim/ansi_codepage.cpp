#include "desktop/sim/ansi_codepage.h"

#include <cstddef>

namespace desktop::sim {

namespace {

// Bytes 0x80-0x9F. The five bytes Windows-1252 leaves undefined map to the C1 control
// of the same value, as MultiByteToWideChar does; every other byte is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

char ToByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // A character outside the BMP is one character, so one '?', not two.
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
        out += ToByte(c);
    }
    return out;
}

std::u16string FromAnsi(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out += (u >= 0x80 && u <= 0x9F) ? kHighControls[u - 0x80] : static_cast<char16_t>(u);
    }
    return out;
}

}  // namespace desktop::sim
