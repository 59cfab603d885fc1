#include "PortHelp.h"

#include <cstdio>

namespace tavlun::core {

std::string portListHelp(int listedPorts, const std::vector<UnlistedPort> &unlisted,
                         const std::string &lastEvent)
{
    std::string help;
    if (!unlisted.empty()) {
        help = "Listede olmayan portlar:";
        for (const UnlistedPort &port : unlisted)
            help += "\n" + port.device + ": " + unlistedSentence(port);
    } else if (listedPorts == 0) {
        help = "Seri port bulunamadı. Dönüştürücüyü takın: birkaç saniye içinde listede görünür; "
               "görünmezse listeyi açın.";
    }
    if (!lastEvent.empty())
        help += (help.empty() ? "" : "\n\n") + lastEvent;
    return help;
}

std::string deviceLostText(const std::string &device, bool reconnects)
{
    return "Bağlı aygıt kayboldu: " + device + ". Bağlantı kesildi; "
        + (reconnects ? "aygıt yeniden takılınca kendiliğinden bağlanılacak." : "aygıtı takıp portu yeniden seçin.");
}

PortDiagnosis noRoomDiagnosis(int ports)
{
    return {PortDiagnosis::Cause::NoRoom, "listede yer yok: en çok " + std::to_string(ports) + " port listelenir",
            "Daha az aygıt adı verin."};
}

std::string unlistedSentence(const UnlistedPort &port)
{
    using Cause = PortDiagnosis::Cause;
    if (!port.kept)
        return port.diagnosis.sentence();
    switch (port.diagnosis.kind) {
    case Cause::NotFound:
    case Cause::Gone:
        return "takılması bekleniyor. Takılınca kendiliğinden bağlanılacak.";
    case Cause::Busy:
        return port.diagnosis.cause + ". O program bırakınca kendiliğinden bağlanılacak.";
    default:
        return port.diagnosis.sentence();
    }
}

void PortNotices::connectFailed(const std::string &reason)
{
    lastEvent_ = "Son bağlantı hatası: " + reason;
    tellUser("bağlantı kurulamadı: " + reason);
}

void PortNotices::deviceLost(const std::string &device, bool reconnects)
{
    lastEvent_ = deviceLostText(device, reconnects);
    tellUser(lastEvent_);
    said_[device] = PortDiagnosis::Cause::Gone; // said just now
}

std::string PortNotices::probeFinished(int listed, const std::vector<UnlistedPort> &unlisted)
{
    // The list is probed again whenever devices come or go and whenever it
    // is opened: a device is said again only when its reason changes, not
    // each time it comes back after being listed for a while.
    for (const UnlistedPort &port : unlisted) {
        if (!port.named)
            continue;
        const auto said = said_.find(port.device);
        if (said == said_.end() || said->second != port.diagnosis.kind)
            tellUser(port.device + " listede yok: " + unlistedSentence(port));
        said_[port.device] = port.diagnosis.kind;
    }
    return portListHelp(listed, unlisted, lastEvent_);
}

void tellUser(const std::string &line)
{
    std::fprintf(stderr, "tavlun: %s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace tavlun::core
