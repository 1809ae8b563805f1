#include "common/trim_at_nul.h"

namespace common {

std::u16string TrimAtNul(std::u16string_view text) {
    return std::u16string(text.substr(0, text.find(u'\0')));
}

}  // namespace common
