#include "PortConnection.h"

#include "PortAccess.h"
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
    refused_.clear();
    if (map_)
        map_->refresh();
    for (PortNo = 1; PortNo <= kHighestPort; ++PortNo) {
        if (!port_.setPortNumber(PortNo) || !port_.open()) {
            const QString device = map_ ? map_->deviceFor(PortNo) : QString();
            if (!device.isEmpty()) {
                if (const QString group = refusedGroup(device); !group.isEmpty())
                    refused_.append({device, group});
            }
            continue;
        }
        view_.addPortEntry(QString::fromUtf16(kEntryPrefix) + QString::number(PortNo),
                           map_ ? map_->deviceFor(PortNo) : QString());
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
    bool ok = entry.startsWith(prefix);
    const int number = ok ? entry.mid(prefix.size()).toInt(&ok) : 0;
    ok = ok && port_.setPortNumber(number)
        && port_.setLineSettings(QString::fromUtf16(kLineSettings)) && port_.open();
    if (!ok) {
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
    PortSifirla();
}

void PortConnection::unload()
{
    if (port_.isOpen())
        port_.close();
}

} // namespace tavlun::serial
