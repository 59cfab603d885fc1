#include "PortHelp.h"

#include <QStringList>

#include <cstdio>

namespace tavlun::ui {

QString portListHelp(int listedPorts, const QList<UnlistedPort> &unlisted,
                     const QString &lastEvent)
{
    QStringList parts;
    if (!unlisted.isEmpty()) {
        QStringList lines{QStringLiteral("Listede olmayan portlar:")};
        for (const UnlistedPort &port : unlisted)
            lines << port.device + QStringLiteral(": ") + port.diagnosis.sentence();
        parts << lines.join(u'\n');
    } else if (listedPorts == 0) {
        parts << QStringLiteral("Seri port bulunamadı. Dönüştürücüyü takın: birkaç saniye "
                                "içinde listede görünür; görünmezse listeyi açın.");
    }
    if (!lastEvent.isEmpty())
        parts << lastEvent;
    return parts.join(QStringLiteral("\n\n"));
}

void UnlistedPortLog::report(const QList<UnlistedPort> &unlisted)
{
    // The list is probed again whenever devices come or go and whenever it
    // is opened: a device is said again only when its reason changes, not
    // each time it comes back after being listed for a while.
    for (const UnlistedPort &port : unlisted) {
        if (!port.named)
            continue;
        const auto said = said_.constFind(port.device);
        if (said == said_.cend() || *said != port.diagnosis.kind)
            tellUser(port.device + QStringLiteral(" listede yok: ") + port.diagnosis.sentence());
        said_.insert(port.device, port.diagnosis.kind);
    }
}

void UnlistedPortLog::markLost(const QString &device)
{
    said_.insert(device, serial::PortDiagnosis::Cause::Gone);
}

void tellUser(const QString &line)
{
    std::fprintf(stderr, "tavlun: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace tavlun::ui
