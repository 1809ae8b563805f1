#include "common/trim_at_nul.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace {

using common::TrimAtNul;

TEST(TrimAtNul, StopsAtTheFirstNulWhateverFollows) {
    const struct {
        std::u16string buffer;
        std::u16string text;
    } cases[] = {
        {std::u16string(u"ab\0cd", 5), u"ab"},
        {std::u16string(u"\0stale", 6), u""},
        {std::u16string(u"S\0older value\0", 14), u"S"},
        {u"no nul at all", u"no nul at all"},
        {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(TrimAtNul(c.buffer), c.text);
}

TEST(Text, TrimSpacesRemovesOnlySpacesAtTheEnds) {
    EXPECT_EQ(common::TrimSpaces(u"  a b  "), u"a b");
    EXPECT_EQ(common::TrimSpaces(u"   "), u"");
    EXPECT_EQ(common::TrimSpaces(u"\ta\t"), u"\ta\t");
}

TEST(Text, Utf8RoundTrip) {
    const std::u16string text = u"Tobrin's \u00e9\u20ac \U0001F600";
    EXPECT_EQ(common::FromUtf8(common::ToUtf8(text)), text);
}

}  // namespace
