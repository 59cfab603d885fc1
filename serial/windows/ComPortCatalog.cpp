#include "ComPortCatalog.h"

#include "ComPortNames.h"

#include <windows.h>

namespace tavlun::serial::windows {

namespace {

using core::PortDiagnosis;
using Cause = PortDiagnosis::Cause;

} // namespace

PortDiagnosis diagnoseComPort(unsigned long error, bool atSettings, bool wasPresent)
{
    const std::string words = errorText(error);
    if (atSettings)
        return {Cause::Unknown, "port açıldı ama 9600 8N1 ayarını kabul etmedi, aygıt yanıt vermiyor: " + words,
                "Dönüştürücüyü çıkarıp yeniden takın, sonra portu yeniden seçin."};
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return {Cause::Busy, "başka bir program kullanıyor", "O programı kapatıp portu yeniden seçin."};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        if (wasPresent)
            return {Cause::Gone, "aygıt artık yok (çıkarılmış olabilir)", "Aygıtı takıp portu yeniden seçin."};
        return {Cause::NotFound, "böyle bir port yok",
                "Dönüştürücüyü takın; Aygıt Yöneticisi'nin Bağlantı noktaları bölümü COM numarasını gösterir."};
    default:
        return {Cause::Unknown, "port açılmayı reddetti: " + words, "Portu yeniden seçin."};
    }
}

std::string ComPortCatalog::deviceFor(int number) const
{
    return number >= 1 ? comPortName(number) : std::string();
}

PortDiagnosis ComPortCatalog::diagnose(const std::string &, bool wasPresent, const std::string &) const
{
    const auto [error, atSettings] = lastOpenError_();
    return diagnoseComPort(error, atSettings, wasPresent);
}

std::vector<int> ComPortCatalog::portsAbove(int highest) const
{
    return {system_.numbers.upper_bound(highest), system_.numbers.end()};
}

std::string ComPortCatalog::describe(int number) const
{
    return portDescription(number, system_.friendlyNames);
}

} // namespace tavlun::serial::windows
