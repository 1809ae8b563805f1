#include "desktop/sim/case_rules.h"

#include <locale>
#include <stdexcept>

namespace desktop::sim {

namespace {

const std::ctype<wchar_t>& UnicodeCase() {
    static const std::locale unicode = [] {
        try {
            return std::locale("C.UTF-8");
        } catch (const std::runtime_error&) {
            return std::locale::classic();  // ASCII alone, where the locale is missing
        }
    }();
    return std::use_facet<std::ctype<wchar_t>>(unicode);
}

}  // namespace

std::u16string UpperCase(std::u16string_view text) {
    const auto& rules = UnicodeCase();
    std::u16string upper(text);
    for (auto& c : upper) {
        // Each UTF-16 unit alone, as Windows does: surrogates keep their case.
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const wchar_t mapped = rules.toupper(static_cast<wchar_t>(c));
        // Windows keeps only the pairs that map back: the micro sign, dotless i, long s,
        // final sigma and title-case digraphs keep their case, where C.UTF-8 would turn
        // the micro sign into a Greek capital the ANSI code page lacks.
        if (mapped <= 0xFFFF && rules.tolower(mapped) == static_cast<wchar_t>(c)) {
            c = static_cast<char16_t>(mapped);
        }
    }
    return upper;
}

}  // namespace desktop::sim
