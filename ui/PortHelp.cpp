#include "PortHelp.h"

#include <QStringList>

namespace tavlun::ui {

QString portListHelp(int listedPorts, const QList<RefusedPort> &refused,
                     const QString &lastFailure)
{
    QStringList parts;
    if (!refused.isEmpty()) {
        QStringList devices;
        QString group = refused.front().group;
        for (const RefusedPort &port : refused)
            devices << QStringLiteral("%1 (%2 grubu)").arg(port.device, port.group);
        parts << QStringLiteral("Açma izni olmayan portlar: %1.\n"
                                "İzin için: sudo usermod -aG %2 $USER\n"
                                "sonra oturumu kapatıp yeniden açın.")
                     .arg(devices.join(QStringLiteral(", ")), group);
    } else if (listedPorts == 0) {
        parts << QStringLiteral("Seri port bulunamadı. Dönüştürücüyü takın: birkaç saniye "
                                "içinde listede görünür; görünmezse listeyi açın.");
    }
    if (!lastFailure.isEmpty())
        parts << QStringLiteral("Son bağlantı hatası: %1").arg(lastFailure);
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace tavlun::ui
