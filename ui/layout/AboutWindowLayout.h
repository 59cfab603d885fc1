#pragma once

#include "Basics.h"

#include <string>

// The about window: the product name, the accessory's picture, an author
// line, two links and a notice line.
namespace tavlun::layout::aboutwindow {

inline constexpr std::string_view kCaption = "Hakkında";
inline constexpr Size kClient{4680, 1995};
inline constexpr std::uint32_t kBackground = kSystemCaptionText;

inline constexpr Label kProductName{{0, 120, 4290, 480}, "Tavlun", {"Tahoma", 14.25, true, kTurkishCharset}, kBlue};
inline constexpr Rect kAccessoryPicture{120, 600, 1560, 1290};

// A frame without a caption, in the window's colour, holding the labels
// below (placed relative to it). Every label centres its text.
inline constexpr Rect kLinkFrame{1800, 480, 2775, 1455};
inline constexpr Font kSmallFont{"Tahoma", 8.25, false, kTurkishCharset};
inline constexpr Label kAuthorLine{{0, 240, 2775, 195}, "Tavlun geliştiricileri", kSmallFont, kBlue};
inline constexpr Label kMailLink{{0, 480, 2775, 195}, "tavlun@example.org", kSmallFont, kSystemButtonText};
inline constexpr Label kWebLink{{0, 720, 2745, 195}, "www.example.org", kSmallFont, kSystemButtonText};
inline constexpr Rect kNoticeLine{0, 1200, 2685, 165};
inline constexpr Font kNoticeFont{"Tahoma", 6.75, false, kTurkishCharset};

// What the links hand to the desktop shell: the same address they show.
inline constexpr std::string_view kMailTargetScheme = "mailto:";
inline constexpr std::string_view kWebTargetScheme = "http://";

// A link's text colour under the pointer (underlined too), and once the
// pointer has crossed the frame.
inline constexpr std::uint32_t kLinkLit = kRed;
inline constexpr std::uint32_t kLinkPlain = kBlack;

// "Sürüm 1.0.4 · Aralık 2026": the version and the month of its release.
std::string noticeLine();

} // namespace tavlun::layout::aboutwindow
