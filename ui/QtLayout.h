#pragma once

#include "ui/layout/Basics.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>

#include <string_view>

// The windows' layout data as Qt takes it.
namespace tavlun::ui {

inline QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

constexpr QRect pixels(layout::Rect r)
{
    return {layout::twipsToPixels(r.left), layout::twipsToPixels(r.top), layout::twipsToPixels(r.width),
            layout::twipsToPixels(r.height)};
}

constexpr QSize pixels(layout::Size s)
{
    return {layout::twipsToPixels(s.width), layout::twipsToPixels(s.height)};
}

// The palette role that stands for a system colour on Qt, or NoRole for a
// value that is no system colour or one the program does not use.
//  - window background: Base, the background of text entry and of views;
//  - caption text, the light text on a selected window's title bar: Qt has no
//    title-bar roles, and the nearest one is HighlightedText, the light text
//    on the selection colour;
//  - button text, a label's default text colour: WindowText.
constexpr QPalette::ColorRole systemColorRole(std::uint32_t value)
{
    switch (value) {
    case layout::kSystemWindowBackground:
        return QPalette::Base;
    case layout::kSystemCaptionText:
        return QPalette::HighlightedText;
    case layout::kSystemButtonText:
        return QPalette::WindowText;
    default:
        return QPalette::NoRole;
    }
}

// A colour value as a colour: system colours are taken from `palette`; an
// unknown system colour gives an invalid QColor.
inline QColor colour(std::uint32_t value, const QPalette &palette)
{
    if (value & layout::kSystemColorFlag) {
        const QPalette::ColorRole role = systemColorRole(value);
        return role == QPalette::NoRole ? QColor() : palette.color(role);
    }
    return QColor(layout::redOf(value), layout::greenOf(value), layout::blueOf(value));
}

// The font where the system has its family; otherwise the font
// configuration picks its nearest substitute of the same kind (fixed-pitch
// for Fixedsys, sans-serif for the others). Character sets are Windows's
// business: Qt's fonts cover them all.
inline QFont font(const layout::Font &f)
{
    QFont font(qt(f.family));
    font.setStyleHint(f.family == "Fixedsys" ? QFont::TypeWriter : QFont::SansSerif);
    font.setPointSizeF(f.points);
    font.setBold(f.bold);
    return font;
}

} // namespace tavlun::ui
