#include "Gdi.h"

#include "Scaling.h"

namespace tavlun::ui::windows {

std::wstring wide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(std::size_t(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), units);
    return out;
}

COLORREF colour(std::uint32_t value)
{
    // The caption text was light on the title bars of old; since Windows 8
    // (and under wine) it is black, and a background in it would hide the
    // labels' black text. The light text of a selection stands in for it,
    // as on Linux.
    if (value == layout::kSystemCaptionText)
        return GetSysColor(COLOR_HIGHLIGHTTEXT);
    if (value & layout::kSystemColorFlag)
        return GetSysColor(int(value & ~layout::kSystemColorFlag));
    return COLORREF(value);
}

Font makeFont(const layout::Font &font, int dpi, bool underline)
{
    LOGFONTW look{};
    look.lfHeight = fontHeight(font.points, dpi);
    look.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    look.lfUnderline = underline;
    look.lfCharSet = BYTE(font.charset);
    look.lfQuality = DEFAULT_QUALITY;
    look.lfPitchAndFamily = BYTE(font.family == "Fixedsys" ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS);
    const std::wstring family = wide(font.family);
    family.copy(look.lfFaceName, LF_FACESIZE - 1);
    return Font(CreateFontIndirectW(&look));
}

} // namespace tavlun::ui::windows
