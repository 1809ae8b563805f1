// Draws the application icon from a list of shapes and writes it as a Windows .ico file:
// one 32-bit BGRA image with an AND mask for each size the list asks for.
//
//   icongen SHAPES.txt OUTPUT.ico
//
// Plain C++ without libraries, so that it builds and runs on the build machine, Linux or
// Windows. The shape list's syntax is described at the top of resources/icon.txt.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Straight (not premultiplied) alpha, each channel 0..1.
struct Colour {
    double r = 0, g = 0, b = 0, a = 0;
};

enum class Kind { Rect, RoundRect, Disc, Ring, Capsule };

struct Shape {
    Kind kind = Kind::Rect;
    std::vector<double> p;  // the numbers after the keyword, in design units
    Colour colour;
    int minSize = 0;  // drawn only into images of these sizes, inclusive
    int maxSize = 0;
};

struct Design {
    double grid = 0;  // the design's width and height in its own units
    std::vector<int> sizes;
    std::vector<Shape> shapes;
};

class ParseError : public std::runtime_error {
  public:
    ParseError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what) {}
};

Colour ParseColour(const std::string& text, int line) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#' ||
        text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
        throw ParseError(line, "a colour is #RRGGBB or #RRGGBBAA, not " + text);
    }
    const auto channel = [&](std::size_t at) {
        return static_cast<double>(std::stoi(text.substr(at, 2), nullptr, 16)) / 255.0;
    };
    return {channel(1), channel(3), channel(5), text.size() == 9 ? channel(7) : 1.0};
}

// Numbers each shape takes before its colour.
std::size_t ArgumentCount(Kind kind) {
    switch (kind) {
        case Kind::Rect:
            return 4;  // x y width height
        case Kind::RoundRect:
            return 5;  // x y width height radius
        case Kind::Disc:
            return 3;  // cx cy radius
        case Kind::Ring:
            return 5;  // cx cy radius thickness gap-degrees (the gap centred at the top)
        case Kind::Capsule:
            return 5;  // x1 y1 x2 y2 radius
    }
    return 0;
}

Design Parse(std::istream& in) {
    const std::vector<std::pair<std::string, Kind>> keywords{{"rect", Kind::Rect},
                                                             {"roundrect", Kind::RoundRect},
                                                             {"disc", Kind::Disc},
                                                             {"ring", Kind::Ring},
                                                             {"capsule", Kind::Capsule}};
    Design design;
    int minSize = 0;
    int maxSize = 1 << 16;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::istringstream words(text);
        std::string keyword;
        if (!(words >> keyword) || keyword[0] == '#') continue;
        std::vector<std::string> rest;
        for (std::string word; words >> word;) rest.push_back(word);
        const auto number = [&](std::size_t i) {
            std::size_t used = 0;
            double value = 0;
            try {
                value = std::stod(rest.at(i), &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != rest[i].size()) {
                throw ParseError(line, keyword + " expects a number, not \"" +
                                           (i < rest.size() ? rest[i] : "") + "\"");
            }
            return value;
        };
        if (keyword == "grid") {
            if (rest.size() != 1) throw ParseError(line, "grid takes one number");
            design.grid = number(0);
            if (design.grid <= 0) throw ParseError(line, "the grid must be positive");
        } else if (keyword == "sizes") {
            if (rest.empty()) throw ParseError(line, "sizes needs at least one size");
            for (std::size_t i = 0; i < rest.size(); ++i) {
                const double size = number(i);
                if (size < 1 || size > 256 || size != std::floor(size)) {
                    throw ParseError(line, "a size is a whole number from 1 to 256");
                }
                design.sizes.push_back(static_cast<int>(size));
            }
        } else if (keyword == "when") {
            if (rest.size() == 1 && rest[0] == "all") {
                minSize = 0;
                maxSize = 1 << 16;
            } else if (rest.size() == 2) {
                minSize = static_cast<int>(number(0));
                maxSize = static_cast<int>(number(1));
            } else {
                throw ParseError(line, "when takes two sizes (smallest, largest) or \"all\"");
            }
        } else {
            const auto known = std::find_if(keywords.begin(), keywords.end(),
                                            [&](const auto& k) { return k.first == keyword; });
            if (known == keywords.end()) throw ParseError(line, "unknown shape " + keyword);
            Shape shape;
            shape.kind = known->second;
            const std::size_t count = ArgumentCount(shape.kind);
            if (rest.size() != count + 1) {
                throw ParseError(
                    line, keyword + " takes " + std::to_string(count) + " numbers and a colour");
            }
            for (std::size_t i = 0; i < count; ++i) shape.p.push_back(number(i));
            shape.colour = ParseColour(rest[count], line);
            shape.minSize = minSize;
            shape.maxSize = maxSize;
            design.shapes.push_back(shape);
        }
    }
    if (design.grid <= 0) throw std::runtime_error("the shape list sets no grid");
    if (design.sizes.empty()) throw std::runtime_error("the shape list names no sizes");
    return design;
}

double DistanceToSegment(double x, double y, double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length2 = dx * dx + dy * dy;
    const double t =
        length2 > 0 ? std::clamp(((x - x1) * dx + (y - y1) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(x - (x1 + t * dx), y - (y1 + t * dy));
}

bool Inside(const Shape& s, double x, double y) {
    const auto& p = s.p;
    switch (s.kind) {
        case Kind::Rect:
            return x >= p[0] && x < p[0] + p[2] && y >= p[1] && y < p[1] + p[3];
        case Kind::RoundRect: {
            if (x < p[0] || x >= p[0] + p[2] || y < p[1] || y >= p[1] + p[3]) return false;
            const double r = p[4];
            const double dx = std::max({p[0] + r - x, 0.0, x - (p[0] + p[2] - r)});
            const double dy = std::max({p[1] + r - y, 0.0, y - (p[1] + p[3] - r)});
            return dx * dx + dy * dy <= r * r;
        }
        case Kind::Disc:
            return std::hypot(x - p[0], y - p[1]) <= p[2];
        case Kind::Ring: {
            const double cx = p[0], cy = p[1], r = p[2], half = p[3] / 2;
            const double halfGap = p[4] / 2 * std::numbers::pi / 180;
            // Angle from straight up, clockwise: the gap is centred at the top.
            const double angle = std::atan2(x - cx, cy - y);
            if (std::abs(std::hypot(x - cx, y - cy) - r) <= half && std::abs(angle) >= halfGap) {
                return true;
            }
            // Round ends on both sides of the gap.
            for (double side : {-1.0, 1.0}) {
                const double ex = cx + r * std::sin(side * halfGap);
                const double ey = cy - r * std::cos(side * halfGap);
                if (p[4] > 0 && std::hypot(x - ex, y - ey) <= half) return true;
            }
            return false;
        }
        case Kind::Capsule:
            return DistanceToSegment(x, y, p[0], p[1], p[2], p[3]) <= p[4];
    }
    return false;
}

// One image, top row first, anti-aliased by sampling each pixel on an 8 x 8 grid.
std::vector<Colour> Render(const Design& design, int size) {
    constexpr int kSamples = 8;
    std::vector<Colour> pixels(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    const double scale = design.grid / size;
    for (const Shape& shape : design.shapes) {
        if (size < shape.minSize || size > shape.maxSize) continue;
        for (int py = 0; py < size; ++py) {
            for (int px = 0; px < size; ++px) {
                int hits = 0;
                for (int i = 0; i < kSamples; ++i) {
                    for (int j = 0; j < kSamples; ++j) {
                        const double x = (px + (j + 0.5) / kSamples) * scale;
                        const double y = (py + (i + 0.5) / kSamples) * scale;
                        if (Inside(shape, x, y)) ++hits;
                    }
                }
                if (hits == 0) continue;
                // "Over": the shape's colour, as much of it as covers the pixel, on top.
                const double a = shape.colour.a * hits / (kSamples * kSamples);
                Colour& d = pixels[static_cast<std::size_t>(py * size + px)];
                const double out = a + d.a * (1 - a);
                const auto mix = [&](double top, double below) {
                    return (top * a + below * d.a * (1 - a)) / out;
                };
                d = {mix(shape.colour.r, d.r), mix(shape.colour.g, d.g), mix(shape.colour.b, d.b),
                     out};
            }
        }
    }
    return pixels;
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, unsigned value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::uint8_t Byte(double channel) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(channel, 0.0, 1.0) * 255));
}

// A BITMAPINFOHEADER, the colour bitmap (bottom-up BGRA) and the AND mask (bottom-up,
// one bit a pixel, rows padded to 32 bits, 1 where the pixel is transparent).
std::vector<std::uint8_t> IconImage(const std::vector<Colour>& pixels, int size) {
    const auto n = static_cast<unsigned>(size);
    const unsigned maskRow = (n + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    Put32(out, 40);     // biSize
    Put32(out, n);      // biWidth
    Put32(out, 2 * n);  // biHeight: the colour bitmap and the mask together
    Put16(out, 1);      // biPlanes
    Put16(out, 32);     // biBitCount
    Put32(out, 0);      // biCompression: BI_RGB
    Put32(out, n * n * 4 + maskRow * n);
    for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution, colours used, important
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Colour& c = pixels[static_cast<std::size_t>(y * size + x)];
            out.insert(out.end(), {Byte(c.b), Byte(c.g), Byte(c.r), Byte(c.a)});
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            if (Byte(pixels[static_cast<std::size_t>(y * size + x)].a) < 128) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::uint8_t> IconFile(const Design& design) {
    std::vector<std::vector<std::uint8_t>> images;
    for (int size : design.sizes) images.push_back(IconImage(Render(design, size), size));
    std::vector<std::uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<unsigned>(images.size()));
    auto offset = static_cast<unsigned>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto size = static_cast<unsigned>(design.sizes[i]);
        out.push_back(static_cast<std::uint8_t>(size % 256));  // 256 is written as 0
        out.push_back(static_cast<std::uint8_t>(size % 256));
        out.push_back(0);  // no palette
        out.push_back(0);  // reserved
        Put16(out, 1);     // planes
        Put16(out, 32);    // bits per pixel
        Put32(out, static_cast<unsigned>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: icongen SHAPES.txt OUTPUT.ico\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        const std::vector<std::uint8_t> icon = IconFile(Parse(in));
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(icon.data()),
                  static_cast<std::streamsize>(icon.size()));
        if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& error) {
        std::cerr << "icongen: " << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
