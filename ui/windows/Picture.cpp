#include "Picture.h"

namespace tavlun::ui::windows {

Picture::Picture(int resource)
    : bitmap_(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP,
                                              0, 0, LR_CREATEDIBSECTION)))
{
    DIBSECTION dib{};
    if (!bitmap_.get() || GetObjectW(bitmap_.get(), sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32)
        return;
    width_ = dib.dsBm.bmWidth;
    height_ = dib.dsBm.bmHeight;
    // AlphaBlend takes colours already multiplied by their opacity.
    auto *pixel = static_cast<BYTE *>(dib.dsBm.bmBits);
    for (int i = 0; i < width_ * height_; ++i, pixel += 4) {
        for (int channel = 0; channel < 3; ++channel)
            pixel[channel] = BYTE(pixel[channel] * pixel[3] / 255);
    }
}

void Picture::draw(HDC dc, PixelRect where) const
{
    if (!width_)
        return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap_.get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, where.left, where.top, where.width, where.height, source, 0, 0, width_, height_, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

} // namespace tavlun::ui::windows
