#pragma once

#include "ui/layout/Basics.h"

#include <windows.h>

#include <string>
#include <string_view>

// Small helpers for drawing with GDI from the layout's data.
namespace tavlun::ui::windows {

// UTF-8 as the UTF-16 that Windows takes.
std::wstring wide(std::string_view utf8);

// A colour value of the layout as a COLORREF (they share their byte order);
// a system colour from the system (the caption text as the light text of a
// selection).
COLORREF colour(std::uint32_t value);

// A GDI object deleted with its owner.
template <typename Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject &&other) noexcept : handle_(other.release()) {}
    GdiObject &operator=(GdiObject &&other) noexcept
    {
        reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    Handle release()
    {
        Handle h = handle_;
        handle_ = nullptr;
        return h;
    }
    void reset(Handle handle = nullptr)
    {
        if (handle_)
            DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;

// The layout's font at `dpi`, in its character set; where the system lacks
// the family, the font mapper picks the nearest of the same pitch.
Font makeFont(const layout::Font &font, int dpi, bool underline = false);

} // namespace tavlun::ui::windows
