#include "PortConnection.h"

namespace tavlun::core {

PortConnection::PortConnection(PortControl &port, PortCatalog &catalog, ConnectionView &view)
    : port_(port), catalog_(catalog), view_(view)
{
}

void PortConnection::probePorts()
{
    if (closing_)
        return;
    listedPorts_ = 0;
    std::vector<UnlistedPort> unlisted;
    catalog_.refresh();
    for (int number = 1; number <= kHighestPort; ++number) {
        const std::string device = catalog_.deviceFor(number);
        if (device.empty() || !port_.open(device)) {
            noteUnlisted(number, unlisted);
            continue;
        }
        seen_.insert(device);
        view_.addPortEntry(std::string(kEntryPrefix) + std::to_string(number), number, device);
        port_.close();
        ++listedPorts_;
    }
    view_.probeFinished(listedPorts_, unlisted);
}

void PortConnection::connectSelectedPort()
{
    if (closing_)
        return;
    const std::string device = catalog_.deviceFor(view_.selectedPortNumber());
    if (device.empty() || !port_.open(device)) {
        // Looked at now, while the cause is still there.
        std::string reason = port_.lastErrorText();
        if (!device.empty())
            reason = device + ": " + catalog_.diagnose(device, true, reason).sentence();
        view_.reportConnectFailure(reason);
        resetPorts();
        return;
    }
    connected_ = device;
    if (onConnected)
        onConnected();
    view_.setConnectedIndicator(true);
    view_.setDisconnectEnabled(true);
    view_.setPortListEnabled(false);
}

void PortConnection::resetPorts()
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
    for (int index = listedPorts_ - 1; index >= 0; --index)
        view_.removePortEntry(index);
    probePorts();
}

void PortConnection::portPicked()
{
    // The confirmation box runs an event loop: the entry picked must stay
    // where it is until the pick has been answered.
    picking_ = true;
    const bool yes = view_.confirmConnect();
    picking_ = false;
    if (yes)
        connectSelectedPort();
    else
        resetPorts();
}

void PortConnection::disconnectClicked()
{
    resetPorts();
    view_.clearSession();
}

void PortConnection::deviceLost()
{
    if (!port_.isOpen())
        return;
    view_.reportDeviceLost(connected_);
    resetPorts();
}

void PortConnection::noteUnlisted(int number, std::vector<UnlistedPort> &unlisted)
{
    const std::string device = catalog_.deviceFor(number);
    if (device.empty())
        return;
    const bool named = catalog_.isNamed(device);
    PortDiagnosis diagnosis = catalog_.diagnose(device, seen_.contains(device), port_.lastErrorText());
    if (named || diagnosis.kind == PortDiagnosis::Cause::Busy
        || diagnosis.kind == PortDiagnosis::Cause::Permission)
        unlisted.push_back({device, std::move(diagnosis), named});
}

void PortConnection::windowClosing()
{
    closing_ = true;
    if (port_.isOpen())
        port_.close();
}

} // namespace tavlun::core
