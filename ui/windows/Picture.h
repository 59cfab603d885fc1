#pragma once

#include "Gdi.h"
#include "Scaling.h"

namespace tavlun::ui::windows {

// A picture with transparency, from a 32-bit bitmap resource, drawn scaled
// over whatever lies beneath it.
class Picture {
public:
    explicit Picture(int resource);

    void draw(HDC dc, PixelRect where) const;

private:
    GdiObject<HBITMAP> bitmap_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace tavlun::ui::windows
