#include "PortConnection.h"

namespace tavlun::ui {

PortConnection::PortConnection(PortControl &port, serial::PortMap &map,
                               ConnectionView &view)
    : port_(port), map_(map), view_(view)
{
}

void PortConnection::PortTara()
{
    PortSayisi = 0;
    QList<UnlistedPort> unlisted;
    map_.refresh();
    for (PortNo = 1; PortNo <= kHighestPort; ++PortNo) {
        const QString device = map_.deviceFor(PortNo);
        if (device.isEmpty() || !port_.open(device)) {
            noteUnlisted(PortNo, unlisted);
            continue;
        }
        seen_.insert(device);
        view_.addPortEntry(kEntryPrefix + QString::number(PortNo), PortNo, device);
        port_.close();
        ++PortSayisi;
    }
    view_.probeFinished(PortSayisi, unlisted);
}

void PortConnection::PortBaglan()
{
    const QString device = map_.deviceFor(view_.selectedPortNumber());
    if (device.isEmpty() || !port_.open(device)) {
        // Looked at now, while the cause is still there.
        QString reason = port_.lastErrorText();
        if (!device.isEmpty())
            reason = device + QStringLiteral(": ")
                + serial::diagnosePort(device, true, reason).sentence();
        view_.reportConnectFailure(reason);
        PortSifirla();
        return;
    }
    connected_ = device;
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
    if (!port_.isOpen())
        return;
    view_.reportDeviceLost(connected_);
    PortSifirla();
}

void PortConnection::noteUnlisted(int number, QList<UnlistedPort> &unlisted)
{
    const QString device = map_.deviceFor(number);
    if (device.isEmpty())
        return;
    const bool named = map_.explicitDevices().contains(device);
    serial::PortDiagnosis diagnosis =
        serial::diagnosePort(device, seen_.contains(device), port_.lastErrorText());
    if (named || diagnosis.kind == serial::PortDiagnosis::Cause::Busy
        || diagnosis.kind == serial::PortDiagnosis::Cause::Permission)
        unlisted.append({device, std::move(diagnosis), named});
}

void PortConnection::unload()
{
    if (port_.isOpen())
        port_.close();
}

} // namespace tavlun::ui
