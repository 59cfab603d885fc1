#pragma once

#include "PortConnection.h"

namespace tavlun::ui {

// The help that the port list shows as its tooltip: why ports may be missing
// from it and what to do about it, as far as the program can tell.
QString portListHelp(int listedPorts, const QList<RefusedPort> &refused,
                     const QString &lastFailure);

} // namespace tavlun::ui
