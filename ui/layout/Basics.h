#pragma once

#include <cstdint>
#include <string_view>

// The windows' looks as data, for every front end to render alike.
namespace tavlun::layout {

// Lengths are in twips, 1/1440 inch: 15 twips make a pixel at 96 dots per
// inch. A control inside a frame is placed relative to that frame.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kTwipsPerPixel = 15;

struct Rect {
    int left, top, width, height;
};
struct Size {
    int width, height;
};

// A length in twips as pixels at 96 dots per inch, to the nearest pixel.
constexpr int twipsToPixels(int twips)
{
    return (2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel);
}

// Colour values hold red in the lowest byte, then green, then blue
// (0xFF0000 is blue, 0x0000FF is red). A value with the high bit set names a
// system colour by its index in the low bits instead.
inline constexpr std::uint32_t kSystemColorFlag = 0x80000000u;
inline constexpr std::uint32_t kSystemWindowBackground = kSystemColorFlag | 5;
inline constexpr std::uint32_t kSystemCaptionText = kSystemColorFlag | 9;
inline constexpr std::uint32_t kSystemButtonText = kSystemColorFlag | 18; // a label's default text
inline constexpr std::uint32_t kBlue = 0xFF0000;
inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kLightBlue = 0xF7DFD6; // RGB(214, 223, 247)

constexpr int redOf(std::uint32_t value) { return int(value & 0xFFu); }
constexpr int greenOf(std::uint32_t value) { return int((value >> 8) & 0xFFu); }
constexpr int blueOf(std::uint32_t value) { return int((value >> 16) & 0xFFu); }

// Character sets, as fonts on Windows number them.
inline constexpr int kWesternCharset = 0;
inline constexpr int kTurkishCharset = 162;

struct Font {
    std::string_view family; // where the system lacks it, the nearest of its kind
    double points;
    bool bold;
    int charset;
};

// A label: where, what it says, in which font and colour.
struct Label {
    Rect rect;
    std::string_view text;
    Font font;
    std::uint32_t colour;
};

} // namespace tavlun::layout
