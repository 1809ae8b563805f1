// Fuzz target: the key-string parser.
//
// Input: the key string in UTF-8, decoded as the programs decode text (common::FromUtf8,
// which lets any UTF-16 unit through, lone surrogates and NUL included).
//
// Properties:
//  - ParseKeyString returns or throws desktop::DesktopError; nothing else escapes.
//  - A parsed sequence, rendered by DescribeStrokes, parses back to the same sequence.
//  - LiteralKey(c), for each character c of the input, parses to exactly one stroke:
//    c itself, with no modifier held.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text.h"
#include "desktop/key_strokes.h"
#include "desktop/platform_shell.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::Require;

std::string Shown(std::u16string_view text) { return fuzz_support::Escaped(common::ToUtf8(text)); }

void CheckLiteralKey(char16_t c) {
    const std::u16string literal = desktop::LiteralKey(c);
    desktop::KeySequence strokes;
    try {
        strokes = desktop::ParseKeyString(literal);
    } catch (const desktop::DesktopError& e) {
        fuzz_support::Broken("LiteralKey(c) parses", e.what());
    }
    desktop::KeyStroke expected;
    expected.character = c;
    Require(strokes.size() == 1 && strokes[0] == expected,
            "LiteralKey(c) parses to c alone, with no modifier", Shown(literal));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string keys = common::FromUtf8(fuzz_support::AsText(data, size));

    desktop::KeySequence parsed;
    bool ok = true;
    try {
        parsed = desktop::ParseKeyString(keys);
    } catch (const desktop::DesktopError&) {
        ok = false;  // a malformed string is refused: that is a fine answer
    }

    if (ok) {
        const std::u16string described = desktop::DescribeStrokes(parsed);
        desktop::KeySequence again;
        try {
            again = desktop::ParseKeyString(described);
        } catch (const desktop::DesktopError& e) {
            fuzz_support::Broken(
                "DescribeStrokes of a parsed sequence parses",
                "input: " + Shown(keys) + "\ndescribed: " + Shown(described) + "\n" + e.what());
        }
        Require(again == parsed, "DescribeStrokes of a parsed sequence parses back to it",
                "input: " + Shown(keys) + "\ndescribed: " + Shown(described) +
                    "\nre-described: " + Shown(desktop::DescribeStrokes(again)));
    }

    for (const char16_t c : keys) CheckLiteralKey(c);
    return 0;
}
