#pragma once

#include "Basics.h"

#include <string>

// The main window: port list, connection indicator, disconnect button,
// traffic log, text box and status prompt, with its message boxes.
namespace tavlun::layout::mainwindow {

inline constexpr std::string_view kCaption = "Tavlun";
inline constexpr Size kClient{6900, 5715};
inline constexpr std::uint32_t kBackground = kLightBlue; // the window and its frames
// The font of the frames' titles, the buttons and the port list.
inline constexpr Font kDefaultFont{"Tahoma", 8, false, kTurkishCharset};
// The icon's sizes, in pixels.
inline constexpr int kIconSizes[] = {16, 32, 48};

// The "Seri Port Ayar" frame, with the indicator, the port list and the
// disconnect button inside.
inline constexpr Rect kPortFrame{120, 120, 1575, 1455};
inline constexpr std::string_view kPortFrameTitle = "Seri Port Ayar";
inline constexpr Rect kIndicator{120, 360, 255, 255}; // an opaque circle
inline constexpr std::uint32_t kIndicatorIdle = kSystemWindowBackground;
inline constexpr std::uint32_t kIndicatorConnected = kBlue;
inline constexpr Rect kPortList{480, 360, 975, 315}; // a pick-only drop-down list
inline constexpr std::string_view kPortListPrompt = "Port Seçin";
inline constexpr Rect kDisconnectButton{120, 840, 1335, 375};
inline constexpr std::string_view kDisconnectText = "Bağlantıyı Kes";
inline constexpr std::string_view kDisconnectTooltip = "Bağlantıyı kesmek için tıklayın";
// The disconnect button's pointer: a pointing hand, 32 by 32 pixels, whose
// hot spot is the fingertip.
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 1;

// The "Seri Port Data" frame around the traffic log.
inline constexpr Rect kTrafficFrame{1800, 120, 5055, 3375};
inline constexpr std::string_view kTrafficFrameTitle = "Seri Port Data";
inline constexpr Rect kTrafficLog{120, 240, 4815, 2985}; // a list box
inline constexpr Font kTrafficLogFont{"Fixedsys", 9, false, kTurkishCharset};

// The "Klavye" frame around the text box.
inline constexpr Rect kKeyboardFrame{120, 3600, 6735, 1695};
inline constexpr std::string_view kKeyboardFrameTitle = "Klavye";
inline constexpr std::uint32_t kKeyboardFrameTitleColour = kBlack;
inline constexpr Rect kTextBox{120, 240, 6495, 1335}; // several lines, a vertical scroll bar
inline constexpr Font kTextBoxFont{"Tahoma", 12, true, kWesternCharset};

inline constexpr Rect kAboutButton{120, 3120, 1575, 255};
inline constexpr std::string_view kAboutText = "Hakkında";

// The status prompt: a label with a transparent background.
inline constexpr Label kPrompt{{120, 5400, 6735, 255},
                               " Port Seçip cihazı bağlayın...",
                               {"Tahoma", 8.25, true, kTurkishCharset},
                               kBlue};

// The prompt while the device to keep connected (tavlun --connect) is awaited.
inline constexpr std::string_view kAwaitedDevicePrompt = " Aygıt bekleniyor; takılınca bağlanılacak...";

// The picture of the accessory, 104 by 86 pixels.
inline constexpr Rect kAccessoryPicture{120, 1680, 1560, 1290};

// The message boxes break their line with a line feed, then a carriage return.
inline constexpr std::string_view kConnectTitle = "Port Aç";
inline constexpr std::string_view kConnectQuestion = "Seçilen Port Üzerinden\n\rBağlanmak İstiyormusunuz";
inline constexpr std::string_view kFailureTitle = "Port Hata...";
inline constexpr std::string_view kFailureText = "Seçilen Port Meşgul veya \n\r Bağlantı Kurulmuyor...";

// The caption once the window has loaded: "Tavlun    Ver. 1.0.4".
std::string versionedCaption();

// The notice when keys cannot be typed into other applications, and why.
inline constexpr std::string_view kNoticeTitle = "Tavlun";
std::string typingUnavailableNotice(std::string_view reason);

} // namespace tavlun::layout::mainwindow
