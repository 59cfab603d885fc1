#include "PortConnection.h"

#include "serial/PortAccess.h"
#include "serial/PortMap.h"

namespace tavlun::ui {

PortConnection::PortConnection(PortControl &port, serial::PortMap &map,
                               ConnectionView &view)
    : port_(port), map_(map), view_(view)
{
}

void PortConnection::PortTara()
{
    PortSayisi = 0;
    QList<RefusedPort> refused;
    map_.refresh();
    for (PortNo = 1; PortNo <= kHighestPort; ++PortNo) {
        const QString device = map_.deviceFor(PortNo);
        if (device.isEmpty() || !port_.open(device)) {
            if (const QString group = serial::refusedGroup(device); !group.isEmpty())
                refused.append({device, group});
            continue;
        }
        view_.addPortEntry(kEntryPrefix + QString::number(PortNo), PortNo, device);
        port_.close();
        ++PortSayisi;
    }
    view_.probeFinished(PortSayisi, refused);
}

void PortConnection::PortBaglan()
{
    if (port_.isOpen())
        port_.close();
    const QString device = map_.deviceFor(view_.selectedPortNumber());
    if (device.isEmpty() || !port_.open(device)) {
        view_.reportConnectFailure(port_.lastErrorText());
        PortSifirla();
        return;
    }
    if (onConnected)
        onConnected();
    view_.setConnectedIndicator(true);
    view_.setDisconnectEnabled(true);
    view_.setPortListEnabled(false);
}

void PortConnection::PortSifirla()
{
    if (port_.isOpen())
        port_.close();
    refreshList();
    view_.setPortListEnabled(true);
    view_.setConnectedIndicator(false);
    view_.setDisconnectEnabled(false);
}

void PortConnection::refreshList()
{
    if (port_.isOpen() || picking_)
        return;
    for (PortNo = PortSayisi - 1; PortNo >= 0; --PortNo)
        view_.removePortEntry(PortNo);
    PortTara();
}

void PortConnection::portPicked()
{
    // The confirmation box runs an event loop: the entry picked must stay
    // where it is until the pick has been answered.
    picking_ = true;
    const bool yes = view_.confirmConnect();
    picking_ = false;
    if (yes)
        PortBaglan();
    else
        PortSifirla();
}

void PortConnection::disconnectClicked()
{
    PortSifirla();
    view_.clearSession();
}

void PortConnection::deviceLost()
{
    if (port_.isOpen())
        PortSifirla();
}

void PortConnection::unload()
{
    if (port_.isOpen())
        port_.close();
}

} // namespace tavlun::ui
