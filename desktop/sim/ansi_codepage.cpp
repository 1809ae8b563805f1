#include "desktop/sim/ansi_codepage.h"

#include <cstddef>
#include <string_view>

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

// Windows' best-fit mapping (its bestfit1252 table, which WideCharToMultiByte applies
// unless told WC_NO_BEST_FIT_CHARS): pairs of a character the code page lacks and the
// one stored in its place, so A-macron is stored as A; fullwidth ASCII is a rule in
// ToByte. Read out of Wine, whose code page tables are made from Windows' own.
constexpr std::u16string_view kBestFit =
    u"\u0100A\u0101a\u0102A\u0103a\u0104A\u0105a\u0106C\u0107c\u0108C\u0109c\u010aC\u010bc"
    u"\u010cC\u010dc\u010eD\u010fd\u0110\u00d0\u0111d\u0112E\u0113e\u0114E\u0115e\u0116E"
    u"\u0117e\u0118E\u0119e\u011aE\u011be\u011cG\u011dg\u011eG\u011fg\u0120G\u0121g\u0122G"
    u"\u0123g\u0124H\u0125h\u0126H\u0127h\u0128I\u0129i\u012aI\u012bi\u012cI\u012di\u012eI"
    u"\u012fi\u0130I\u0131i\u0134J\u0135j\u0136K\u0137k\u0139L\u013al\u013bL\u013cl\u013dL"
    u"\u013el\u0141L\u0142l\u0143N\u0144n\u0145N\u0146n\u0147N\u0148n\u014cO\u014do\u014eO"
    u"\u014fo\u0150O\u0151o\u0154R\u0155r\u0156R\u0157r\u0158R\u0159r\u015aS\u015bs\u015cS"
    u"\u015ds\u015eS\u015fs\u0162T\u0163t\u0164T\u0165t\u0166T\u0167t\u0168U\u0169u\u016aU"
    u"\u016bu\u016cU\u016du\u016eU\u016fu\u0170U\u0171u\u0172U\u0173u\u0174W\u0175w\u0176Y"
    u"\u0177y\u0179Z\u017az\u017bZ\u017cz\u0180b\u0189\u00d0\u0191\u0192\u0197I\u019al\u019fO"
    u"\u01a0O\u01a1o\u01abt\u01aeT\u01afU\u01b0u\u01b6z\u01c0|\u01c3!\u01cdA\u01cea\u01cfI"
    u"\u01d0i\u01d1O\u01d2o\u01d3U\u01d4u\u01d5U\u01d6u\u01d7U\u01d8u\u01d9U\u01dau\u01dbU"
    u"\u01dcu\u01deA\u01dfa\u01e4G\u01e5g\u01e6G\u01e7g\u01e8K\u01e9k\u01eaO\u01ebo\u01ecO"
    u"\u01edo\u01f0j\u0261g\u02b9'\u02ba\u0022\u02bc'\u02c4^\u02c8'\u02c9\u00af\u02ca\u00b4"
    u"\u02cb`\u02cd_\u02da\u00b0\u0300`\u0301\u00b4\u0302^\u0303~\u0304\u00af\u0305\u00af"
    u"\u0308\u00a8\u030a\u00b0\u030e\u0022\u0327\u00b8\u0331_\u0332_\u037e;\u0393G\u0398T"
    u"\u03a3S\u03a6F\u03a9O\u03b1a\u03b2\u00df\u03b4d\u03b5e\u03bc\u00b5\u03c0p\u03c3s\u03c4t"
    u"\u03c6f\u04bbh\u0589:\u066a%\u2000 \u2001 \u2002 \u2003 \u2004 \u2005 \u2006 \u2010-"
    u"\u2011-\u2017=\u2024\u00b7\u2032'\u2035`\u2044/\u2070\u00b0\u20744\u20755\u20766\u20777"
    u"\u20788\u207fn\u20800\u20811\u20822\u20833\u20844\u20855\u20866\u20877\u20888\u20899"
    u"\u20a1\u00a2\u20a4\u00a3\u20a7P\u2102C\u2107E\u210ag\u210bH\u210cH\u210dH\u210eh\u2110I"
    u"\u2111I\u2112L\u2113l\u2115N\u2118P\u2119P\u211aQ\u211bR\u211cR\u211dR\u2124Z\u2128Z"
    u"\u212aK\u212b\u00c5\u212cB\u212dC\u212ee\u212fe\u2130E\u2131F\u2133M\u2134o\u2205\u00d8"
    u"\u2212-\u2213\u00b1\u2215/\u2216\u005c\u2217*\u2218\u00b0\u2219\u00b7\u221av\u221e8"
    u"\u2223|\u2229n\u2236:\u223c~\u2248\u02dc\u2261=\u2264=\u2265=\u226a\u00ab\u226b\u00bb"
    u"\u22c5\u00b7\u2302\u00a6\u2303^\u2310\u00ac\u2320(\u2321)\u2329<\u232a>\u2500-"
    u"\u2502\u00a6\u250c+\u2510+\u2514+\u2518+\u251c+\u2524\u00a6\u252c-\u2534-\u253c+\u2550-"
    u"\u2551\u00a6\u2552+\u2553+\u2554+\u2555+\u2556+\u2557+\u2558+\u2559+\u255a+\u255b+"
    u"\u255c+\u255d+\u255e\u00a6\u255f\u00a6\u2560\u00a6\u2561\u00a6\u2562\u00a6\u2563\u00a6"
    u"\u2564-\u2565-\u2566-\u2567-\u2568-\u2569-\u256a+\u256b+\u256c+\u2580\u00af\u2584_"
    u"\u2588\u00a6\u258c\u00a6\u2590\u00a6\u2591\u00a6\u2592\u00a6\u2593\u00a6\u25a0\u00a6"
    u"\u263c\u00a4\u2758|\u3000 \u3008<\u3009>\u300a\u00ab\u300b\u00bb\u301a[\u301b]"
    u"\u30fb\u00b7";

char HeldByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

char ToByte(char16_t c) {
    const char held = HeldByte(c);
    if (held != '?' || c == u'?') return held;
    if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char>(c - 0xFEE0);
    for (std::size_t i = 0; i + 1 < kBestFit.size(); i += 2) {
        if (kBestFit[i] == c) return HeldByte(kBestFit[i + 1]);
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
