// The device kept connected (tavlun --connect) over a fake machine and window:
// connected without a box, lost and found again under another name, until the
// user takes over. (The end-to-end test plugs in and out, with a holder.)
#include "core/PortConnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace tavlun::core;

namespace {

// The port, the catalogue of a machine whose devices come and go, and a
// window that journals what it is asked to show.
struct Rig final : PortControl, PortCatalog, ConnectionView {
    std::vector<std::string> numbered{"/dev/adapter", "/dev/ttyUSB0", "/dev/ttyUSB1"}; // ports 1 to 3
    std::set<std::string> present;
    mutable std::map<std::string, std::string> ids;
    std::string open_, calls;
    int selected = 0;
    bool yes = true;

    bool open(const std::string &device) override { return present.contains(device) && !(open_ = device).empty(); }
    void close() override { open_.clear(); }
    bool isOpen() const override { return !open_.empty(); }
    std::string lastErrorText() const override { return {}; }
    void refresh() override {}
    std::string deviceFor(int n) const override { return n >= 1 && n <= 3 ? numbered[std::size_t(n - 1)] : ""; }
    bool isNamed(const std::string &device) const override { return device == numbered[0]; }
    bool busy = false; // what does not open is held by another program
    PortDiagnosis diagnose(const std::string &, bool, const std::string &) const override
    {
        return {busy ? PortDiagnosis::Cause::Busy : PortDiagnosis::Cause::Unknown, {}, {}};
    }
    std::vector<std::string> namedWithoutNumber() const override { return {}; }
    std::string identityOf(const std::string &d) const override { return present.contains(d) ? ids[d] : ""; }
    std::string deviceWithIdentity(const std::string &id) const override
    {
        const auto found = std::find_if(ids.begin(), ids.end(), [&](auto &e) { return e.second == id && identityOf(e.first) == id; });
        return found == ids.end() ? "" : found->first;
    }

    void addPortEntry(const std::string &text, int, const std::string &) override { calls += "add " + text + "|"; }
    void removePortEntry(int) override {}
    int selectedPortNumber() const override { return selected; }
    void selectPortEntry(int number) override { calls += "select " + std::to_string(number) + "|"; }
    void setPortListEnabled(bool) override {}
    void setDisconnectEnabled(bool) override {}
    void setConnectedIndicator(bool on) override { calls += on ? "lit|" : "unlit|"; }
    bool confirmConnect() override { return (calls += "box|"), yes; }
    void reportConnectFailure(const std::string &) override {}
    void clearSession() override { calls += "clear|"; }
    void reportDeviceLost(const std::string &device, bool again) override { calls += "lost " + device + (again ? "+|" : "|"); }
    void showKeptDeviceAwaited(bool awaited) override { calls += awaited ? "awaited|" : "not awaited|"; }
    void probeFinished(int, const std::vector<UnlistedPort> &) override {}
    std::string take() { return std::exchange(calls, {}); }
};

TEST(KeptDevice, ComesBackUnderItsIdentityUntilTheUserTakesOver)
{
    Rig rig;
    PortConnection connection(rig, rig, rig);
    connection.keepConnected("/dev/adapter");
    rig.present = {"/dev/adapter"};
    rig.ids = {{"/dev/adapter", "usb A1"}, {"/dev/ttyUSB1", "usb A1"}};
    connection.refreshList();
    EXPECT_EQ(rig.take(), "add Com - 1|select 1|not awaited|lit|") << "not connected as if picked";

    // Unplugged; back as another node of the same adapter.
    rig.present.clear();
    connection.deviceLost();
    EXPECT_EQ(rig.take(), "lost /dev/adapter+|unlit|awaited|");
    rig.present = {"/dev/ttyUSB1"};
    connection.refreshList();
    EXPECT_EQ(std::pair(rig.take(), rig.open_),
              std::pair(std::string("add Com - 3|select 3|not awaited|lit|"), std::string("/dev/ttyUSB1")));

    connection.disconnectClicked(); // the user's disconnect: it stays so
    EXPECT_TRUE(rig.take().ends_with("unlit|clear|") && rig.open_.empty());
    connection.keepConnected("/dev/adapter"); // a Yes for port 3 ends it: once that is lost, it is left alone
    rig.present = {"/dev/ttyUSB0"};
    rig.selected = 2;
    connection.portPicked();
    rig.present = {"/dev/adapter"};
    connection.deviceLost();
    EXPECT_EQ(std::pair(rig.take(), rig.open_),
              std::pair(std::string("box|not awaited|lit|lost /dev/ttyUSB0|add Com - 1|unlit|"),
                        std::string()));

    // Held by another program: its release is watched until the user takes over.
    std::string watched = "none";
    connection.onKeptDeviceHeld = [&](const std::string &device) { watched = device; };
    rig.busy = true;
    rig.present.clear();
    connection.keepConnected("/dev/adapter");
    connection.refreshList();
    const std::string whileHeld = watched;
    connection.disconnectClicked();
    EXPECT_EQ(std::pair(whileHeld, watched), std::pair(std::string("/dev/adapter"), std::string()));
    rig.take();

    connection.keepConnected("/dev/adapter"); // the window closes: nothing opens a port again
    connection.windowClosing();
    connection.refreshList();
    connection.resetPorts();
    EXPECT_EQ(std::pair(rig.take(), rig.open_), std::pair(std::string("unlit|"), std::string()));
}

} // namespace
