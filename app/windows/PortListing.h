#pragma once

#include "core/PortConnection.h"
#include "serial/windows/ComPortCatalog.h"
#include "ui/windows/MainWindow.h"

namespace tavlun::app::windows {

// The port list as the Windows program shows it, between port discovery and
// the main window: after the ten probed ports come the system's other COM
// ports that open, and every entry's tooltip names its device by the
// system's friendly name.
class PortListing final : public core::ConnectionView {
public:
    PortListing(ui::windows::MainWindow &window, serial::windows::ComPortCatalog &catalog, core::PortControl &port)
        : window_(window), catalog_(catalog), port_(port)
    {
    }

    void addPortEntry(const std::string &text, int number, const std::string &) override
    {
        window_.addPortEntry(text, number, catalog_.describe(number));
    }
    void removePortEntry(int index) override { window_.removePortEntry(index); }
    int selectedPortNumber() const override { return window_.selectedPortNumber(); }
    void setPortListEnabled(bool enabled) override { window_.setPortListEnabled(enabled); }
    void setDisconnectEnabled(bool enabled) override { window_.setDisconnectEnabled(enabled); }
    void setConnectedIndicator(bool connected) override { window_.setConnectedIndicator(connected); }
    bool confirmConnect() override { return window_.confirmConnect(); }
    void reportConnectFailure(const std::string &reason) override { window_.reportConnectFailure(reason); }
    void clearSession() override { window_.clearSession(); }
    void reportDeviceLost(const std::string &device, bool reconnects) override
    {
        window_.reportDeviceLost(device, reconnects);
    }
    void selectPortEntry(int number) override { window_.selectPortEntry(number); }
    void showKeptDeviceAwaited(bool awaited) override { window_.showKeptDeviceAwaited(awaited); }
    // Probes the further ports, then the window hears of them all.
    void probeFinished(int listed, const std::vector<core::UnlistedPort> &unlisted) override;

private:
    ui::windows::MainWindow &window_;
    serial::windows::ComPortCatalog &catalog_;
    core::PortControl &port_;
};

} // namespace tavlun::app::windows
