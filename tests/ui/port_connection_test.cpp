// Connecting as the user does it, against a port and a window of the test's
// own: a refusal, a failed open and a lost device each list the ports anew
// with nothing picked; a connection shuts the list.
#include "serial/PortMap.h"
#include "ui/PortConnection.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tavlun;

namespace {

struct Port final : ui::PortControl {
    QStringList present; // the devices that open
    QString opened;
    bool open(const QString &device) override
    {
        if (!present.contains(device))
            return false;
        opened = device;
        return true;
    }
    void close() override { opened.clear(); }
    bool isOpen() const override { return !opened.isEmpty(); }
    QString lastErrorText() const override { return QStringLiteral("No such file or directory"); }
};

struct View final : ui::ConnectionView {
    QStringList entries;
    QList<int> numbers;
    int picked = -1;
    bool yes = true, listOn = true, disconnectOn = false, light = false;
    QStringList told;
    void addPortEntry(const QString &text, int number, const QString &) override
    {
        entries << text;
        numbers << number;
    }
    void removePortEntry(int index) override
    {
        entries.removeAt(index);
        numbers.removeAt(index);
        picked = -1;
    }
    int selectedPortNumber() const override { return picked < 0 ? 0 : numbers[picked]; }
    void setPortListEnabled(bool on) override { listOn = on; }
    void setDisconnectEnabled(bool on) override { disconnectOn = on; }
    void setConnectedIndicator(bool on) override { light = on; }
    bool confirmConnect() override { return yes; }
    void reportConnectFailure(const QString &reason) override { told << QStringLiteral("failed: ") + reason; }
    void clearSession() override { told << QStringLiteral("cleared"); }
    void reportDeviceLost(const QString &device) override { told << QStringLiteral("lost ") + device; }
    void probeFinished(int, const QList<ui::UnlistedPort> &) override {}
    // What the user sees: the entries, the one picked, the controls, what was said.
    QString state()
    {
        const QString shown = QStringLiteral("[%1] picked %2, list %3, disconnect %4, light %5; %6")
                                  .arg(entries.join(u','))
                                  .arg(picked)
                                  .arg(listOn ? "on" : "off", disconnectOn ? "on" : "off", light ? "on" : "off")
                                  .arg(told.join(u'|'));
        told.clear();
        return shown;
    }
};

TEST(PortConnection, EachAnswerFailureAndLossLeavesTheControlsAsTheUserExpects)
{
    Port port;
    port.present = {QStringLiteral("/dev/a"), QStringLiteral("/dev/c")};
    QStringList named{QStringLiteral("/dev/a"), QStringLiteral("/dev/b"), QStringLiteral("/dev/c")};
    for (int n = 4; n <= 10; ++n)
        named << QStringLiteral("/dev/absent%1").arg(n); // no device of the machine's own is listed
    serial::PortMap map(named);
    View view;
    ui::PortConnection connection(port, map, view);
    connection.PortTara();

    const auto pick = [&](int entry, bool yes) {
        view.picked = entry;
        view.yes = yes;
        connection.portPicked();
    };
    const struct {
        const char *what;
        std::function<void()> act;
        const char *expected;
    } steps[] = {
        {"the probe", [] {}, "[Com - 1,Com - 3] picked -1, list on, disconnect off, light off; "},
        {"No", [&] { pick(1, false); }, "[Com - 1,Com - 3] picked -1, list on, disconnect off, light off; "},
        {"Yes", [&] { pick(1, true); }, "[Com - 1,Com - 3] picked 1, list off, disconnect on, light on; "},
        {"the device goes", [&] { port.present.removeLast(); connection.deviceLost(); },
         "[Com - 1] picked -1, list on, disconnect off, light off; lost /dev/c"},
        {"gone before the pick", [&] { port.present.clear(); pick(0, true); },
         "[] picked -1, list on, disconnect off, light off; failed: /dev/a: aygıt artık yok (çıkarılmış olabilir). Aygıtı takıp portu yeniden seçin."},
        {"back, connected, disconnected", [&] { port.present = {QStringLiteral("/dev/a")}; connection.refreshList();
                                               pick(0, true); connection.disconnectClicked(); },
         "[Com - 1] picked -1, list on, disconnect off, light off; cleared"},
    };
    for (const auto &step : steps) {
        step.act();
        EXPECT_EQ(view.state(), QString::fromUtf8(step.expected)) << "after: " << step.what;
    }
}

} // namespace
