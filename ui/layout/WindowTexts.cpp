#include "AboutWindowLayout.h"
#include "MainWindowLayout.h"
#include "tavlun/version.h"

namespace tavlun::layout {

std::string mainwindow::versionedCaption()
{
    return std::string(kCaption) + "    Ver. " + std::to_string(kVersionMajor) + '.'
        + std::to_string(kVersionMinor) + '.' + std::to_string(kVersionPatch);
}

std::string mainwindow::typingUnavailableNotice(std::string_view reason)
{
    const std::string why(reason);
    return "Diğer uygulamalara tuş gönderilemiyor: " + why + "\n\nTyping into other applications is unavailable: "
        + why + "\n\nTavlun penceresi açıkken karakterler kendi metin kutusuna yazılır.";
}

std::string aboutwindow::noticeLine()
{
    static constexpr std::string_view kMonths[] = {"Ocak", "Şubat", "Mart", "Nisan", "Mayıs", "Haziran",
                                                   "Temmuz", "Ağustos", "Eylül", "Ekim", "Kasım", "Aralık"};
    return std::string("Sürüm ") + kVersionString + " · " + std::string(kMonths[kReleaseMonth - 1]) + ' '
        + std::to_string(kReleaseYear);
}

} // namespace tavlun::layout
