#include "PortConnection.h"

#include "PortMap.h"
#include "SerialPort.h"

namespace tavlun::serial {

PortConnection::PortConnection(SerialPort &port, ConnectionView &view, PortMap *map)
    : port_(port), view_(view), map_(map)
{
}

void PortConnection::PortTara()
{
    PortSayisi = 0;
    unlisted_.clear();
    if (map_)
        map_->refresh();
    for (PortNo = 1; PortNo <= kHighestPort; ++PortNo) {
        if (!port_.setPortNumber(PortNo) || !port_.open()) {
            noteUnlisted(PortNo);
            continue;
        }
        const QString device = map_ ? map_->deviceFor(PortNo) : QString();
        seen_.insert(device);
        view_.addPortEntry(QString::fromUtf16(kEntryPrefix) + QString::number(PortNo), device);
        port_.close();
        ++PortSayisi;
    }
    view_.probeFinished();
}

void PortConnection::PortBaglan()
{
    if (port_.isOpen())
        port_.close();
    port_.setReceiveThreshold(1);
    port_.setInputLength(0);

    const QString entry = view_.selectedPortEntry();
    const QString prefix = QString::fromUtf16(kEntryPrefix);
    bool parsed = entry.startsWith(prefix);
    const int number = parsed ? entry.mid(prefix.size()).toInt(&parsed) : 0;
    const bool ok = parsed && port_.setPortNumber(number)
        && port_.setLineSettings(QString::fromUtf16(kLineSettings)) && port_.open();
    if (!ok) {
        // Looked at now, while the cause is still there.
        const QString device = parsed && map_ ? map_->deviceFor(number) : QString();
        QString reason = port_.lastErrorText();
        if (!device.isEmpty())
            reason = device + QStringLiteral(": ") + diagnosePort(device, true, reason).sentence();
        view_.reportConnectFailure(reason);
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
    for (PortNo = PortSayisi - 1; PortNo >= 0; --PortNo)
        view_.removePortEntry(PortNo);
    PortTara();
    view_.setPortListEnabled(true);
    view_.setConnectedIndicator(false);
    view_.setDisconnectEnabled(false);
}

void PortConnection::portPicked()
{
    if (view_.confirmConnect())
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
    view_.reportDeviceLost(map_ ? map_->deviceFor(port_.portNumber()) : QString());
    PortSifirla();
}

void PortConnection::noteUnlisted(int number)
{
    const QString device = map_ ? map_->deviceFor(number) : QString();
    if (device.isEmpty())
        return;
    const bool named = map_->explicitDevices().contains(device);
    PortDiagnosis diagnosis = diagnosePort(device, seen_.contains(device), port_.lastErrorText());
    if (named || diagnosis.kind == PortDiagnosis::Cause::Busy
        || diagnosis.kind == PortDiagnosis::Cause::Permission)
        unlisted_.append({device, std::move(diagnosis), named});
}

void PortConnection::unload()
{
    if (port_.isOpen())
        port_.close();
}

} // namespace tavlun::serial
