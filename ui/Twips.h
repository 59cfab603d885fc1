#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>

namespace tavlun::ui {

// Window layouts are written in twips, 1/1440 inch, which makes 15 twips to
// a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// A length in twips (none is negative) as pixels, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips)
{
    return (2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel);
}

// A rectangle given as left, top, width and height in twips.
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

// Colour values hold red in the lowest byte, then green, then blue
// (0xFF0000 is blue, 0x0000FF is red). A value with the high bit set names a
// system colour by its index in the low bits instead.
inline constexpr quint32 kSystemColorFlag = 0x80000000u;
inline constexpr quint32 kSystemWindowBackground = kSystemColorFlag | 5;
inline constexpr quint32 kSystemCaptionText = kSystemColorFlag | 9;

// The palette role that stands for a system colour on Qt, or NoRole for a
// value that is no system colour or one the program does not use.
//  - window background: Base, the background of text entry and of views;
//  - caption text, the light text on a selected window's title bar: Qt has no
//    title-bar roles, and the nearest one is HighlightedText, the light text
//    on the selection colour.
constexpr QPalette::ColorRole systemColorRole(quint32 value)
{
    switch (value) {
    case kSystemWindowBackground:
        return QPalette::Base;
    case kSystemCaptionText:
        return QPalette::HighlightedText;
    default:
        return QPalette::NoRole;
    }
}

// A colour value as a colour: system colours are taken from `palette`; an
// unknown system colour gives an invalid QColor.
inline QColor colorFromValue(quint32 value, const QPalette &palette)
{
    if (value & kSystemColorFlag) {
        const QPalette::ColorRole role = systemColorRole(value);
        return role == QPalette::NoRole ? QColor() : palette.color(role);
    }
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

// Blue, the colour of the status prompt, the connected indicator and the
// about window's titles.
inline constexpr quint32 kBlue = 0xFF0000;

// Tahoma where the system has it; otherwise the font configuration picks its
// nearest substitute, a sans-serif one at the least.
inline QFont tahoma(qreal points, bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace tavlun::ui
