#include "desktop/key_strokes.h"

#include <cstddef>
#include <string>
#include <vector>

#include "common/text.h"
#include "desktop/platform_shell.h"

namespace desktop {

namespace {

struct KeyName {
    std::u16string_view name;
    NamedKey key;
};

// The first entry for each key is its canonical name, the one DescribeStrokes writes.
constexpr KeyName kKeyNames[] = {
    {u"ENTER", NamedKey::Enter},
    {u"TAB", NamedKey::Tab},
    {u"DOWN", NamedKey::Down},
    {u"UP", NamedKey::Up},
    {u"LEFT", NamedKey::Left},
    {u"RIGHT", NamedKey::Right},
    {u"ESC", NamedKey::Escape},
    {u"ESCAPE", NamedKey::Escape},
    {u"BS", NamedKey::Backspace},
    {u"BACKSPACE", NamedKey::Backspace},
    {u"BKSP", NamedKey::Backspace},
    {u"DEL", NamedKey::Delete},
    {u"DELETE", NamedKey::Delete},
    {u"INS", NamedKey::Insert},
    {u"INSERT", NamedKey::Insert},
    {u"HOME", NamedKey::Home},
    {u"END", NamedKey::End},
    {u"PGUP", NamedKey::PageUp},
    {u"PGDN", NamedKey::PageDown},
    {u"HELP", NamedKey::Help},
    {u"BREAK", NamedKey::Break},
    {u"CAPSLOCK", NamedKey::CapsLock},
    {u"NUMLOCK", NamedKey::NumLock},
    {u"SCROLLLOCK", NamedKey::ScrollLock},
    {u"PRTSC", NamedKey::PrintScreen},
    {u"F1", NamedKey::F1},
    {u"F2", NamedKey::F2},
    {u"F3", NamedKey::F3},
    {u"F4", NamedKey::F4},
    {u"F5", NamedKey::F5},
    {u"F6", NamedKey::F6},
    {u"F7", NamedKey::F7},
    {u"F8", NamedKey::F8},
    {u"F9", NamedKey::F9},
    {u"F10", NamedKey::F10},
    {u"F11", NamedKey::F11},
    {u"F12", NamedKey::F12},
    {u"F13", NamedKey::F13},
    {u"F14", NamedKey::F14},
    {u"F15", NamedKey::F15},
    {u"F16", NamedKey::F16},
};

// Counts beyond this are far more likely a typo than a wish to press a key that often.
constexpr unsigned kMaxRepeat = 255;

bool IsSyntaxChar(char16_t c) {
    return std::u16string_view(u"+^%~(){}[]").find(c) != std::u16string_view::npos;
}

char16_t AsciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

const KeyName* FindKeyName(std::u16string_view name) {
    for (const auto& entry : kKeyNames) {
        if (SameNameIgnoringCase(entry.name, name)) return &entry;
    }
    return nullptr;
}

std::u16string_view CanonicalName(NamedKey key) {
    for (const auto& entry : kKeyNames) {
        if (entry.key == key) return entry.name;
    }
    return u"?";
}

Modifiers Combine(Modifiers a, Modifiers b) {
    return {a.shift || b.shift, a.ctrl || b.ctrl, a.alt || b.alt};
}

bool Any(Modifiers m) { return m.shift || m.ctrl || m.alt; }

class Parser {
  public:
    explicit Parser(std::u16string_view keys) : keys_(keys) {}

    KeySequence Run() {
        // Groups are kept on an explicit stack rather than by recursion, so that a
        // deeply nested string cannot exhaust the call stack.
        struct Group {
            Modifiers held;
            std::size_t firstStroke;
            std::size_t openedAt;
        };
        std::vector<Group> groups;
        Modifiers pending;
        std::size_t pendingAt = 0;

        for (pos_ = 0; pos_ < keys_.size(); ++pos_) {
            const char16_t c = keys_[pos_];
            if (c == u'+' || c == u'^' || c == u'%') {
                bool& flag = c == u'+' ? pending.shift : c == u'^' ? pending.ctrl : pending.alt;
                // "++a" is almost always a plus that was meant to be typed as itself.
                if (flag) Fail("modifier repeated before one key");
                if (!Any(pending)) pendingAt = pos_;
                flag = true;
                continue;
            }
            const Modifiers held =
                Combine(groups.empty() ? Modifiers{} : groups.back().held, pending);
            if (c == u')') {
                if (Any(pending)) Fail("modifier with nothing after it", pendingAt);
                if (groups.empty()) Fail("unbalanced parenthesis: ')' without '('");
                if (out_.size() == groups.back().firstStroke) Fail("empty group \"()\"");
                groups.pop_back();
                continue;
            }
            pending = {};
            if (c == u'(') {
                groups.push_back({held, out_.size(), pos_});
                continue;
            }
            if (c == u'}') Fail("stray '}' (type it as {}})");
            if (c == u'{') {
                ParseBraced(held);
            } else if (c == u'~') {
                AddNamed(NamedKey::Enter, held, 1);
            } else {
                // Brackets need no braces here: they mean nothing to this parser.
                AddCharacter(c, held, 1);
            }
        }
        if (Any(pending)) Fail("modifier with nothing after it", pendingAt);
        if (!groups.empty())
            Fail("unbalanced parenthesis: '(' never closed", groups.back().openedAt);
        return std::move(out_);
    }

  private:
    // On entry pos_ is at the '{'; on return at the matching '}'.
    void ParseBraced(Modifiers held) {
        const std::size_t open = pos_;
        // The first character inside is always content, which is what makes {}} and {{}
        // work; the closing brace is the next '}' after it.
        const std::size_t first = open + 1;
        if (first >= keys_.size()) Fail("unclosed brace", open);
        const std::size_t close = keys_.find(u'}', first + 1);
        if (close == std::u16string_view::npos) {
            if (keys_[first] == u'}') Fail("empty braces \"{}\"", open);
            Fail("unclosed brace", open);
        }
        const std::u16string_view inside = keys_.substr(first, close - first);
        pos_ = close;

        // A space after the first character starts the repeat count; a space as the first
        // character is the key itself, so "{  3}" types three spaces.
        std::u16string_view name = inside;
        unsigned count = 1;
        if (const auto space = inside.find(u' ', 1); space != std::u16string_view::npos) {
            name = inside.substr(0, space);
            count = ParseCount(inside.substr(space + 1), open);
        }
        if (name.size() == 1) {
            AddCharacter(name[0], held, count);
        } else if (const KeyName* entry = FindKeyName(name)) {
            AddNamed(entry->key, held, count);
        } else {
            Fail("unknown key name \"" + common::ToUtf8(name) + "\"", open);
        }
    }

    unsigned ParseCount(std::u16string_view digits, std::size_t at) {
        if (digits.empty()) Fail("bad repeat count: missing", at);
        unsigned value = 0;
        for (const char16_t d : digits) {
            if (d < u'0' || d > u'9') {
                Fail("bad repeat count \"" + common::ToUtf8(digits) + "\"", at);
            }
            value = value * 10 + static_cast<unsigned>(d - u'0');
            if (value > kMaxRepeat) {
                Fail("bad repeat count: more than " + std::to_string(kMaxRepeat), at);
            }
        }
        // A zero count would leave any modifier before it applying to nothing.
        if (value == 0) Fail("bad repeat count: zero", at);
        return value;
    }

    void AddCharacter(char16_t c, Modifiers held, unsigned count) {
        KeyStroke stroke;
        stroke.held = held;
        stroke.character = c;
        out_.insert(out_.end(), count, stroke);
    }

    void AddNamed(NamedKey key, Modifiers held, unsigned count) {
        KeyStroke stroke;
        stroke.held = held;
        stroke.isNamed = true;
        stroke.key = key;
        out_.insert(out_.end(), count, stroke);
    }

    [[noreturn]] void Fail(const std::string& fault) { Fail(fault, pos_); }
    [[noreturn]] void Fail(const std::string& fault, std::size_t at) {
        throw DesktopError("bad key string \"" + common::ToUtf8(keys_) + "\": " + fault +
                           " at position " + std::to_string(at + 1));
    }

    std::u16string_view keys_;
    std::size_t pos_ = 0;
    KeySequence out_;
};

}  // namespace

KeySequence ParseKeyString(std::u16string_view keys) { return Parser(keys).Run(); }

std::u16string LiteralKey(char16_t c) {
    if (IsSyntaxChar(c)) return std::u16string{u'{', c, u'}'};
    return std::u16string(1, c);
}

std::u16string DescribeStrokes(const KeySequence& strokes) {
    std::u16string out;
    for (const auto& stroke : strokes) {
        if (stroke.held.shift) out += u'+';
        if (stroke.held.ctrl) out += u'^';
        if (stroke.held.alt) out += u'%';
        if (stroke.isNamed) {
            out += u'{';
            out += CanonicalName(stroke.key);
            out += u'}';
        } else {
            out += LiteralKey(stroke.character);
        }
    }
    return out;
}

}  // namespace desktop
