#include "PortConnection.h"

#include "PortHelp.h"

#include <algorithm>

namespace tavlun::core {

PortConnection::PortConnection(PortControl &port, PortCatalog &catalog, ConnectionView &view)
    : port_(port), catalog_(catalog), view_(view)
{
}

void PortConnection::keepConnected(const std::string &device)
{
    kept_ = device;
    keptIdentity_.clear();
}

void PortConnection::probePorts()
{
    if (closing_)
        return;
    listedPorts_ = 0;
    unlisted_.clear();
    catalog_.refresh();
    for (int number = 1; number <= kHighestPort; ++number) {
        const std::string device = catalog_.deviceFor(number);
        if (device.empty() || !port_.open(device)) {
            noteUnlisted(number, unlisted_);
            continue;
        }
        seen_.insert(device);
        view_.addPortEntry(std::string(kEntryPrefix) + std::to_string(number), number, device);
        port_.close();
        ++listedPorts_;
    }
    for (const std::string &device : catalog_.namedWithoutNumber())
        unlisted_.push_back({device, noRoomDiagnosis(kHighestPort), true, device == kept_});
    view_.probeFinished(listedPorts_, unlisted_);
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
    showConnected(device);
}

void PortConnection::showConnected(const std::string &device)
{
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
    if (!picking_)
        relist();
    view_.setPortListEnabled(true);
    view_.setConnectedIndicator(false);
    view_.setDisconnectEnabled(false);
    connectKeptDevice();
}

void PortConnection::refreshList()
{
    if (port_.isOpen() || picking_)
        return;
    relist();
    connectKeptDevice();
}

void PortConnection::relist()
{
    for (int index = listedPorts_ - 1; index >= 0; --index)
        view_.removePortEntry(index);
    probePorts();
}

void PortConnection::connectKeptDevice()
{
    if (closing_ || kept_.empty() || port_.isOpen() || picking_)
        return;
    // A USB adapter plugged in again may get another name: where the path
    // kept leads elsewhere or nowhere, its identity finds it under that.
    std::string device = kept_;
    if (!keptIdentity_.empty() && catalog_.identityOf(kept_) != keptIdentity_) {
        if (std::string renamed = catalog_.deviceWithIdentity(keptIdentity_); !renamed.empty())
            device = std::move(renamed);
    }
    const auto failed = std::find_if(unlisted_.begin(), unlisted_.end(),
                                     [&](const UnlistedPort &port) { return port.device == device; });
    // Where the probe has just failed to open it, the probe has said why;
    // trying again before something changes would fail the same way.
    const bool held = failed != unlisted_.end() && failed->diagnosis.kind == PortDiagnosis::Cause::Busy;
    if (onKeptDeviceHeld)
        onKeptDeviceHeld(held ? device : std::string());
    if (failed != unlisted_.end() || !port_.open(device)) {
        view_.showKeptDeviceAwaited(true);
        return;
    }
    if (std::string identity = catalog_.identityOf(device); !identity.empty())
        keptIdentity_ = std::move(identity);
    for (int number = 1; number <= kHighestPort; ++number) {
        if (catalog_.deviceFor(number) == device)
            view_.selectPortEntry(number);
    }
    view_.showKeptDeviceAwaited(false);
    showConnected(device);
}

void PortConnection::stopKeeping()
{
    if (kept_.empty())
        return;
    keepConnected({});
    if (onKeptDeviceHeld)
        onKeptDeviceHeld({});
    view_.showKeptDeviceAwaited(false);
}

void PortConnection::portPicked()
{
    // The confirmation box runs an event loop: the entry picked must stay
    // where it is until the pick has been answered.
    picking_ = true;
    const bool yes = view_.confirmConnect();
    picking_ = false;
    if (yes) {
        // The user's own choice takes over from the device kept connected.
        stopKeeping();
        connectSelectedPort();
    } else {
        resetPorts();
    }
}

void PortConnection::disconnectClicked()
{
    stopKeeping();
    resetPorts();
    view_.clearSession();
}

void PortConnection::deviceLost()
{
    if (!port_.isOpen())
        return;
    view_.reportDeviceLost(connected_, !kept_.empty());
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
        unlisted.push_back({device, std::move(diagnosis), named, device == kept_});
}

void PortConnection::windowClosing()
{
    closing_ = true;
    if (port_.isOpen())
        port_.close();
}

} // namespace tavlun::core
