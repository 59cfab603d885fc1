// Port discovery and connection over fakes: the device kept connected
// (tavlun --connect) without a box, awaited, held, lost and found again
// under another name; the user taking over; what the user is told.
#include "core/PortConnection.h"
#include "core/PortHelp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace tavlun::core;
using Calls = std::vector<std::string>;
using Cause = PortDiagnosis::Cause;

namespace {

// The machine: which devices open, which are held, what identifies them.
struct Machine final : PortControl, PortCatalog {
    std::vector<std::string> numbered;         // port 1, 2, ...
    std::set<std::string> named, present, held;
    std::vector<std::string> beyond;           // named, without a number
    std::map<std::string, std::string> identity;
    std::string open_;
    Calls opens;

    bool open(const std::string &device) override
    {
        opens.push_back(device);
        if (!present.contains(device) || held.contains(device))
            return false;
        open_ = device;
        return true;
    }
    void close() override { open_.clear(); }
    bool isOpen() const override { return !open_.empty(); }
    std::string lastErrorText() const override { return "failed"; }
    void refresh() override {}
    std::string deviceFor(int number) const override
    {
        return number >= 1 && number <= int(numbered.size()) ? numbered[std::size_t(number - 1)] : "";
    }
    bool isNamed(const std::string &device) const override { return named.contains(device); }
    PortDiagnosis diagnose(const std::string &device, bool wasPresent, const std::string &) const override
    {
        if (held.contains(device))
            return {Cause::Busy, "held", "close it"};
        return {wasPresent ? Cause::Gone : Cause::NotFound, "absent", "plug it in"};
    }
    std::vector<std::string> namedWithoutNumber() const override { return beyond; }
    std::string identityOf(const std::string &device) const override
    {
        const auto found = identity.find(device);
        return found != identity.end() && present.contains(device) ? found->second : "";
    }
    std::string deviceWithIdentity(const std::string &wanted) const override
    {
        for (const auto &[device, id] : identity)
            if (id == wanted && present.contains(device))
                return device;
        return "";
    }
};

// Journals what the window is asked to do; answers the box as told.
struct View final : ConnectionView {
    Calls calls;
    std::vector<UnlistedPort> unlisted;
    int selected = 0;
    bool answerYes = true;

    void addPortEntry(const std::string &text, int, const std::string &) override { calls.push_back("add " + text); }
    void removePortEntry(int) override {}
    int selectedPortNumber() const override { return selected; }
    void selectPortEntry(int number) override { calls.push_back("select " + std::to_string(number)); }
    void setPortListEnabled(bool) override {}
    void setDisconnectEnabled(bool) override {}
    void setConnectedIndicator(bool on) override { calls.push_back(on ? "lit" : "unlit"); }
    bool confirmConnect() override
    {
        calls.push_back("box");
        return answerYes;
    }
    void reportConnectFailure(const std::string &reason) override { calls.push_back("failure " + reason); }
    void clearSession() override { calls.push_back("clear"); }
    void reportDeviceLost(const std::string &device, bool reconnects) override
    {
        calls.push_back("lost " + device + (reconnects ? " (reconnects)" : ""));
    }
    void showKeptDeviceAwaited(bool awaited) override { calls.push_back(awaited ? "awaited" : "not awaited"); }
    void probeFinished(int, const std::vector<UnlistedPort> &ports) override { unlisted = ports; }
    Calls take() { return std::exchange(calls, {}); }
};

std::string joined(const Calls &calls)
{
    std::string all;
    for (const std::string &call : calls)
        all += call + " | ";
    return all;
}

struct Connection : ::testing::Test {
    Machine machine;
    View view;
    PortConnection connection{machine, machine, view};
    Calls held; // what onKeptDeviceHeld was told

    void SetUp() override
    {
        machine.numbered = {"/dev/adapter", "/dev/ttyUSB0", "/dev/ttyUSB1"};
        machine.named = {"/dev/adapter"};
        connection.onKeptDeviceHeld = [this](const std::string &device) { held.push_back(device); };
    }
};

TEST_F(Connection, KeptDeviceIsAwaitedConnectedWithoutABoxAndFoundAgainUnderAnotherName)
{
    connection.keepConnected("/dev/adapter");
    connection.refreshList();
    EXPECT_EQ(view.take(), (Calls{"awaited"}));
    ASSERT_EQ(view.unlisted.size(), 1u);
    EXPECT_TRUE(view.unlisted[0].kept && view.unlisted[0].named) << "the awaited device is not marked as kept";
    EXPECT_EQ(unlistedSentence(view.unlisted[0]), "takılması bekleniyor. Takılınca kendiliğinden bağlanılacak.");

    // Plugged in: listed, picked and connected without a box; the probe
    // opened it once, the connection once more.
    machine.present = {"/dev/adapter"};
    machine.identity = {{"/dev/adapter", "usb 1a86:7523 A1 if00"}, {"/dev/ttyUSB1", "usb 1a86:7523 A1 if00"}};
    machine.opens.clear();
    connection.refreshList();
    EXPECT_EQ(view.take(), (Calls{"add Com - 1", "select 1", "not awaited", "lit"}));
    EXPECT_EQ(std::count(machine.opens.begin(), machine.opens.end(), "/dev/adapter"), 2);
    EXPECT_EQ(machine.open_, "/dev/adapter");
    connection.refreshList();
    EXPECT_EQ(view.take(), Calls{}) << "probed while connected";

    // Unplugged: said once, the ports listed again, awaited; back as another
    // node of the same adapter, found by its identity.
    machine.present.clear();
    connection.deviceLost();
    EXPECT_EQ(view.take(), (Calls{"lost /dev/adapter (reconnects)", "unlit", "awaited"}));
    EXPECT_EQ(view.unlisted.at(0).diagnosis.kind, Cause::Gone);
    machine.present = {"/dev/ttyUSB1"};
    connection.refreshList();
    EXPECT_EQ(view.take(), (Calls{"add Com - 3", "select 3", "not awaited", "lit"}));
    EXPECT_EQ(machine.open_, "/dev/ttyUSB1");

    // Unplugged and plugged in as the path kept: under that.
    machine.present.clear();
    connection.deviceLost();
    view.take();
    machine.present = {"/dev/adapter"};
    connection.refreshList();
    EXPECT_EQ(machine.open_, "/dev/adapter");
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "box"), 0) << joined(view.calls);
    EXPECT_EQ(held, Calls(held.size(), "")) << "a device watched for release that nobody held";
}

TEST_F(Connection, HeldKeptDeviceIsWatchedNotRetriedAndConnectedOnceReleased)
{
    machine.present = {"/dev/adapter"};
    machine.held = {"/dev/adapter"};
    connection.keepConnected("/dev/adapter");
    connection.refreshList();
    EXPECT_EQ(std::count(machine.opens.begin(), machine.opens.end(), "/dev/adapter"), 1)
        << "tried again at once after the probe failed";
    EXPECT_EQ(held, (Calls{"/dev/adapter"}));
    EXPECT_EQ(view.take(), (Calls{"awaited"}));
    EXPECT_EQ(unlistedSentence(view.unlisted.at(0)), "held. O program bırakınca kendiliğinden bağlanılacak.");

    machine.held.clear(); // the platform tells of a change
    connection.refreshList();
    EXPECT_EQ(held.back(), "");
    EXPECT_EQ(machine.open_, "/dev/adapter");
    EXPECT_EQ(view.take(), (Calls{"add Com - 1", "select 1", "not awaited", "lit"}));
}

TEST_F(Connection, PickOrDisconnectTakesOverFromTheKeptDeviceAndAPlainStartAsks)
{
    // A plain start: the pick asks; a loss resets and nothing reconnects.
    machine.present = {"/dev/adapter", "/dev/ttyUSB0"};
    connection.refreshList();
    view.selected = 1;
    connection.portPicked();
    EXPECT_EQ(view.take(), (Calls{"add Com - 1", "add Com - 2", "box", "lit"}));
    connection.deviceLost();
    EXPECT_EQ(view.take(), (Calls{"lost /dev/adapter", "add Com - 1", "add Com - 2", "unlit"}));
    EXPECT_FALSE(machine.isOpen());

    // Kept, but the user picks port 2 and says Yes: no longer kept.
    machine.present = {"/dev/ttyUSB0"};
    connection.keepConnected("/dev/adapter");
    connection.refreshList();
    view.take();
    view.selected = 2;
    connection.portPicked();
    EXPECT_EQ(view.take(), (Calls{"box", "not awaited", "lit"}));
    EXPECT_EQ(held.back(), "");
    machine.present = {"/dev/adapter"};
    connection.deviceLost();
    EXPECT_EQ(view.take(), (Calls{"lost /dev/ttyUSB0", "add Com - 1", "unlit"}));
    EXPECT_FALSE(machine.isOpen()) << "the kept device came back after the user took over";

    // Kept and connected, then disconnected by the user: stays disconnected.
    connection.keepConnected("/dev/adapter");
    connection.refreshList();
    ASSERT_TRUE(machine.isOpen());
    view.take();
    connection.disconnectClicked();
    EXPECT_EQ(view.take(), (Calls{"not awaited", "add Com - 1", "unlit", "clear"}));
    EXPECT_FALSE(machine.isOpen());

    // A No keeps it kept: the reset after the box connects it.
    connection.keepConnected("/dev/adapter");
    view.answerYes = false;
    connection.portPicked();
    EXPECT_EQ(view.take(), (Calls{"box", "add Com - 1", "unlit", "select 1", "not awaited", "lit"}));
}

TEST(PortHelp, NamedDevicesBeyondTheLastPortAndTheKeptOneAreToldOnceEach)
{
    Machine machine;
    View view;
    machine.numbered = {"/dev/a"};
    machine.named = {"/dev/a", "/dev/k"};
    machine.beyond = {"/dev/k", "/dev/z"};
    PortConnection connection(machine, machine, view);
    connection.keepConnected("/dev/k");
    connection.refreshList();
    ASSERT_EQ(view.unlisted.size(), 3u);
    EXPECT_EQ(view.unlisted[1].diagnosis.kind, Cause::NoRoom);
    EXPECT_TRUE(view.unlisted[1].kept && !view.unlisted[2].kept);
    EXPECT_EQ(portListHelp(0, view.unlisted, "Son bağlantı hatası: x"),
              "Listede olmayan portlar:\n/dev/a: absent. plug it in\n"
              "/dev/k: listede yer yok: en çok 10 port listelenir. Daha az aygıt adı verin.\n"
              "/dev/z: listede yer yok: en çok 10 port listelenir. Daha az aygıt adı verin.\n\n"
              "Son bağlantı hatası: x");

    UnlistedPortLog log;
    ::testing::internal::CaptureStderr();
    log.report(view.unlisted);
    log.report(view.unlisted);
    log.markLost("/dev/a");
    view.unlisted[0].diagnosis.kind = Cause::Gone; // the loss has been said
    view.unlisted[2].diagnosis = {Cause::Busy, "held", ""};
    log.report(view.unlisted);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tavlun: /dev/a listede yok: absent. plug it in\n"
              "tavlun: /dev/k listede yok: listede yer yok: en çok 10 port listelenir. Daha az aygıt adı verin.\n"
              "tavlun: /dev/z listede yok: listede yer yok: en çok 10 port listelenir. Daha az aygıt adı verin.\n"
              "tavlun: /dev/z listede yok: held\n");
    EXPECT_EQ(deviceLostText("/dev/a", true),
              "Bağlı aygıt kayboldu: /dev/a. Bağlantı kesildi; aygıt yeniden takılınca kendiliğinden bağlanılacak.");
}

} // namespace
