#pragma once

#include "ui/layout/Basics.h"

// The layout's twips as pixels at a monitor's dots per inch.
namespace tavlun::ui::windows {

inline constexpr int kDefaultDpi = 96;

// A length in twips as pixels at `dpi`, to the nearest pixel.
constexpr int scaled(int twips, int dpi)
{
    return (2 * twips * dpi + layout::kTwipsPerInch) / (2 * layout::kTwipsPerInch);
}

struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect &) const = default;
};

// A control's rectangle in its window's client area; a control inside a
// frame is placed relative to `frame`. Edges are scaled where they lie, so
// that neighbours stay neighbours at every size.
constexpr PixelRect scaled(layout::Rect r, int dpi, layout::Rect frame = {0, 0, 0, 0})
{
    const int left = scaled(frame.left + r.left, dpi);
    const int top = scaled(frame.top + r.top, dpi);
    return {left, top, scaled(frame.left + r.left + r.width, dpi) - left,
            scaled(frame.top + r.top + r.height, dpi) - top};
}

// A font's character height in pixels, negative as LOGFONT takes it.
constexpr int fontHeight(double points, int dpi)
{
    return -int(points * dpi / 72.0 + 0.5);
}

} // namespace tavlun::ui::windows
