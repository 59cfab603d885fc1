#pragma once

#include "PortConnection.h"

#include <QHash>

namespace tavlun::ui {

// The help that the port list shows as its tooltip: which devices are not
// listed and why, what to do about it, and the latest failure or loss.
QString portListHelp(int listedPorts, const QList<UnlistedPort> &unlisted,
                     const QString &lastEvent);

// Says on standard error why a device named on the command line is not
// listed: once, and again only when the reason changes.
class UnlistedPortLog {
public:
    void report(const QList<UnlistedPort> &unlisted);
    // The device was lost while connected, which has been said already.
    void markLost(const QString &device);

private:
    QHash<QString, serial::PortDiagnosis::Cause> said_;
};

// One line on standard error, prefixed with the program's name.
void tellUser(const QString &line);

} // namespace tavlun::ui
