#include "desktop/key_strokes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "common/text.h"
#include "desktop/platform_shell.h"

namespace desktop {
namespace {

// Modifiers written as they are in a key string, e.g. "+%".
Modifiers Held(std::string_view mods) {
    return {mods.find('+') != std::string_view::npos, mods.find('^') != std::string_view::npos,
            mods.find('%') != std::string_view::npos};
}

KeyStroke Ch(char16_t c, std::string_view mods = "") {
    KeyStroke s;
    s.held = Held(mods);
    s.character = c;
    return s;
}

KeyStroke Key(NamedKey k, std::string_view mods = "") {
    KeyStroke s;
    s.held = Held(mods);
    s.isNamed = true;
    s.key = k;
    return s;
}

KeySequence Repeat(const KeyStroke& s, std::size_t n) { return KeySequence(n, s); }

std::string Show(const KeySequence& strokes) { return common::ToUtf8(DescribeStrokes(strokes)); }

constexpr NamedKey kAllNamedKeys[] = {
    NamedKey::Backspace, NamedKey::Break,      NamedKey::CapsLock, NamedKey::Delete,
    NamedKey::Down,      NamedKey::End,        NamedKey::Enter,    NamedKey::Escape,
    NamedKey::Help,      NamedKey::Home,       NamedKey::Insert,   NamedKey::Left,
    NamedKey::NumLock,   NamedKey::PageDown,   NamedKey::PageUp,   NamedKey::PrintScreen,
    NamedKey::Right,     NamedKey::ScrollLock, NamedKey::Tab,      NamedKey::Up,
    NamedKey::F1,        NamedKey::F2,         NamedKey::F3,       NamedKey::F4,
    NamedKey::F5,        NamedKey::F6,         NamedKey::F7,       NamedKey::F8,
    NamedKey::F9,        NamedKey::F10,        NamedKey::F11,      NamedKey::F12,
    NamedKey::F13,       NamedKey::F14,        NamedKey::F15,      NamedKey::F16,
};

TEST(ParseKeyString, ValidStringsGiveTheirStrokes) {
    struct Case {
        std::u16string_view keys;
        KeySequence expected;
    };
    const KeySequence shiftedLefts = Repeat(Key(NamedKey::Left, "+"), 3);
    // A syntax character in braces alone is LiteralKey's (below).
    const Case cases[] = {
        {u"", {}},
        {u"a", {Ch(u'a')}},
        // Upper case is typed as written; Shift is the desktop's business.
        {u"A", {Ch(u'A')}},
        {u"%r", {Ch(u'r', "%")}},
        {u"%pr{TAB}{DOWN}~",
         {Ch(u'p', "%"), Ch(u'r'), Key(NamedKey::Tab), Key(NamedKey::Down), Key(NamedKey::Enter)}},
        {u"+(ec)", {Ch(u'e', "+"), Ch(u'c', "+")}},
        {u"+(ec)d", {Ch(u'e', "+"), Ch(u'c', "+"), Ch(u'd')}},
        {u"(ab)", {Ch(u'a'), Ch(u'b')}},
        {u"^(a+b)", {Ch(u'a', "^"), Ch(u'b', "+^")}},
        {u"%(a^(bc)d)e", {Ch(u'a', "%"), Ch(u'b', "^%"), Ch(u'c', "^%"), Ch(u'd', "%"), Ch(u'e')}},
        {u"+^a", {Ch(u'a', "+^")}},
        {u"%^+{F4}", {Key(NamedKey::F4, "+^%")}},
        {u"{LEFT 3}", Repeat(Key(NamedKey::Left), 3)},
        {u"+{LEFT 3}", shiftedLefts},
        {u"{h 10}", Repeat(Ch(u'h'), 10)},
        {u"{x 255}", Repeat(Ch(u'x'), 255)},
        {u"{a 007}", Repeat(Ch(u'a'), 7)},
        {u"{  3}", Repeat(Ch(u' '), 3)},
        {u"{}}x", {Ch(u'}'), Ch(u'x')}},
        {u"{} 2}", Repeat(Ch(u'}'), 2)},
        {u"{{ 2}", Repeat(Ch(u'{'), 2)},
        {u"[]", {Ch(u'['), Ch(u']')}},
        {u"{a}", {Ch(u'a')}},
        {u"{ }", {Ch(u' ')}},
        {u"%{%}", {Ch(u'%', "%")}},
        {u"~~", {Key(NamedKey::Enter), Key(NamedKey::Enter)}},
        {u"{enter}{Esc}{escape}{bksp}{BackSpace}{bs}",
         {Key(NamedKey::Enter), Key(NamedKey::Escape), Key(NamedKey::Escape),
          Key(NamedKey::Backspace), Key(NamedKey::Backspace), Key(NamedKey::Backspace)}},
        {u"{DEL}{delete}{INS}{insert}{PGUP}{pgdn}{home}{END}",
         {Key(NamedKey::Delete), Key(NamedKey::Delete), Key(NamedKey::Insert),
          Key(NamedKey::Insert), Key(NamedKey::PageUp), Key(NamedKey::PageDown),
          Key(NamedKey::Home), Key(NamedKey::End)}},
        {u"{HELP}{BREAK}{CAPSLOCK}{NUMLOCK}{SCROLLLOCK}{PRTSC}{UP}{RIGHT}",
         {Key(NamedKey::Help), Key(NamedKey::Break), Key(NamedKey::CapsLock),
          Key(NamedKey::NumLock), Key(NamedKey::ScrollLock), Key(NamedKey::PrintScreen),
          Key(NamedKey::Up), Key(NamedKey::Right)}},
        {u"{F1}{f10}{F16}", {Key(NamedKey::F1), Key(NamedKey::F10), Key(NamedKey::F16)}},
        {u"\u00e9\u20ac", {Ch(u'\u00e9'), Ch(u'\u20ac')}},
        {u"a b", {Ch(u'a'), Ch(u' '), Ch(u'b')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(common::ToUtf8(c.keys));
        KeySequence got;
        ASSERT_NO_THROW(got = ParseKeyString(c.keys));
        EXPECT_EQ(Show(got), Show(c.expected));
        EXPECT_EQ(got, c.expected);
    }
}

TEST(ParseKeyString, MalformedStringsThrowNamingTheFault) {
    struct Case {
        std::u16string_view keys;
        std::string_view fault;
    };
    const Case cases[] = {
        {u"{ENTER", "unclosed brace"},
        {u"abc{", "unclosed brace"},
        {u"{{", "unclosed brace"},
        {u"{", "unclosed brace"},
        {u"{}", "empty braces"},
        {u"{ENTRE}", "unknown key name"},
        {u"{F17}", "unknown key name"},
        {u"{F0}", "unknown key name"},
        {u"{ab}", "unknown key name"},
        {u"{LEFT}x{DOWNN 2}", "unknown key name"},
        {u"{LEFT }", "bad repeat count"},
        {u"{LEFT x}", "bad repeat count"},
        {u"{LEFT 3x}", "bad repeat count"},
        {u"{LEFT -3}", "bad repeat count"},
        {u"{LEFT  3}", "bad repeat count"},
        {u"{LEFT 256}", "bad repeat count"},
        {u"{LEFT 99999999999999999999}", "bad repeat count"},
        {u"{LEFT 0}", "bad repeat count"},
        {u"(ab", "unbalanced parenthesis"},
        {u"+(a(b)", "unbalanced parenthesis"},
        {u"ab)", "unbalanced parenthesis"},
        {u"(a))", "unbalanced parenthesis"},
        {u")", "unbalanced parenthesis"},
        {u"%", "modifier with nothing after it"},
        {u"+", "modifier with nothing after it"},
        {u"a^", "modifier with nothing after it"},
        {u"+^%", "modifier with nothing after it"},
        {u"(a%)", "modifier with nothing after it"},
        {u"()", "empty group"},
        {u"%()", "empty group"},
        {u"(a())", "empty group"},
        {u"}", "stray '}'"},
        {u"a}b", "stray '}'"},
        {u"+}", "stray '}'"},
        {u"++a", "modifier repeated"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(common::ToUtf8(c.keys));
        try {
            const KeySequence got = ParseKeyString(c.keys);
            ADD_FAILURE() << "parsed as " << Show(got);
        } catch (const DesktopError& e) {
            EXPECT_NE(std::string_view(e.what()).find(c.fault), std::string_view::npos) << e.what();
        }
    }
}

TEST(ParseKeyString, DeepNestingNeitherCrashesNorLosesModifiers) {
    constexpr std::size_t kDepth = 100000;
    std::u16string keys = u"%";
    keys.append(kDepth, u'(');
    keys += u"x";
    keys.append(kDepth, u')');
    EXPECT_EQ(ParseKeyString(keys), KeySequence{Ch(u'x', "%")});
    keys.pop_back();
    EXPECT_THROW(ParseKeyString(keys), DesktopError);
}

TEST(LiteralKey, BracesExactlyTheSyntaxCharacters) {
    const std::u16string_view syntax = u"+^%~(){}[]";
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        SCOPED_TRACE(static_cast<char>(c));
        const std::u16string literal = LiteralKey(c);
        if (syntax.find(c) != std::u16string_view::npos) {
            EXPECT_EQ(literal, (std::u16string{u'{', c, u'}'}));
        } else {
            EXPECT_EQ(literal, std::u16string(1, c));
        }
        EXPECT_EQ(ParseKeyString(literal), KeySequence{Ch(c)});
    }
}

TEST(DescribeStrokes, WritesCanonicalSyntax) {
    struct Case {
        KeySequence strokes;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {{}, u""},
        {{Ch(u'r', "%")}, u"%r"},
        {{Ch(u'R', "%")}, u"%R"},
        {{Ch(u'a', "%^+")}, u"+^%a"},
        {{Key(NamedKey::Enter)}, u"{ENTER}"},
        {{Key(NamedKey::Escape), Key(NamedKey::Backspace), Key(NamedKey::Delete),
          Key(NamedKey::Insert), Key(NamedKey::PageUp), Key(NamedKey::PageDown)},
         u"{ESC}{BS}{DEL}{INS}{PGUP}{PGDN}"},
        {{Key(NamedKey::PrintScreen, "^"), Key(NamedKey::F16)}, u"^{PRTSC}{F16}"},
        {{Ch(u'~'), Ch(u'{'), Ch(u'}'), Ch(u'['), Ch(u'%', "+")}, u"{~}{{}{}}{[}+{%}"},
        {{Ch(u'e', "+"), Ch(u'c', "+")}, u"+e+c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(common::ToUtf8(c.expected));
        EXPECT_EQ(DescribeStrokes(c.strokes), c.expected);
    }
}

// Parsing what DescribeStrokes wrote gives the same strokes back. Sequences a key string
// can give are fuzz_key_string's; these are every stroke there is, alone and in a row.
void ExpectRoundTrip(const KeySequence& strokes) {
    const std::u16string text = DescribeStrokes(strokes);
    SCOPED_TRACE(common::ToUtf8(text));
    KeySequence back;
    ASSERT_NO_THROW(back = ParseKeyString(text));
    EXPECT_EQ(back, strokes);
}

TEST(DescribeStrokes, RoundTripsEveryKeyUnderEveryModifierSet) {
    const std::string_view modifierSets[] = {"", "+", "^", "%", "+^", "+%", "^%", "+^%"};
    KeySequence all;
    for (const auto mods : modifierSets) {
        std::u16string characters = u"\t\u00e9\u20ac";
        for (char16_t c = 0x20; c < 0x7F; ++c) characters += c;
        for (const char16_t c : characters) {
            ExpectRoundTrip({Ch(c, mods)});
            all.push_back(Ch(c, mods));
        }
        for (const NamedKey k : kAllNamedKeys) {
            ExpectRoundTrip({Key(k, mods)});
            all.push_back(Key(k, mods));
        }
    }
    // And all of them in one string, so that no stroke's text swallows the next one's.
    ExpectRoundTrip(all);
}

}  // namespace
}  // namespace desktop
