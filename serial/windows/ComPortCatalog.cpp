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
    const PortDiagnosis gone{Cause::Gone, "aygıt artık yok (çıkarılmış olabilir)", "Aygıtı takıp portu yeniden seçin."};
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        if (!atSettings)
            return {Cause::Busy, "başka bir program kullanıyor", "O programı kapatıp portu yeniden seçin."};
        break;
    // A port whose device has gone may still open; then its settings fail.
    case ERROR_INVALID_FUNCTION:
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
        if (atSettings)
            return gone;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        if (wasPresent)
            return gone;
        return {Cause::NotFound, "böyle bir port yok",
                "Dönüştürücüyü takın; Aygıt Yöneticisi'nin Bağlantı noktaları bölümü COM numarasını gösterir."};
    default:
        break;
    }
    if (atSettings)
        return {Cause::Unknown, "port 9600 8N1 ayarını kabul etmedi: " + errorText(error),
                "Portun bir seri hat olduğunu denetleyin, sonra portu yeniden seçin."};
    return {Cause::Unknown, "port açılmayı reddetti: " + errorText(error), "Portu yeniden seçin."};
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
