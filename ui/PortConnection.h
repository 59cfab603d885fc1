#pragma once

#include "serial/PortDiagnosis.h"
#include "serial/PortMap.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace tavlun::ui {

// A device that the latest probe did not list, and why: every device named
// on the command line, and the system's devices that are busy or refused.
struct UnlistedPort {
    QString device;
    serial::PortDiagnosis diagnosis;
    bool named = false; // given on the command line
};

// The serial port `MSComm1` as port discovery and connection use it.
class PortControl {
public:
    virtual ~PortControl() = default;

    // Opens the device at 9600 baud, no parity, 8 data bits, 1 stop bit;
    // false when it does not exist, is in use or may not be opened.
    virtual bool open(const QString &device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The platform's reason for the latest failure of open().
    virtual QString lastErrorText() const = 0;
};

// The controls and dialogs that port discovery and connection drive.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;

    // The port list `Combo1`: entries are addressed by index from 0; each
    // carries its port number.
    virtual void addPortEntry(const QString &text, int number, const QString &devicePath) = 0;
    virtual void removePortEntry(int index) = 0;
    // The port number of the selected entry; 0 when none is selected.
    virtual int selectedPortNumber() const = 0;

    virtual void setPortListEnabled(bool enabled) = 0;
    virtual void setDisconnectEnabled(bool enabled) = 0;
    virtual void setConnectedIndicator(bool connected) = 0;

    // Asks whether to connect through the picked port: true for Yes.
    virtual bool confirmConnect() = 0;
    // Reports that the picked port could not be opened, and why.
    virtual void reportConnectFailure(const QString &reason) = 0;
    // Empties the text box, clears the traffic log and restores the prompt.
    virtual void clearSession() = 0;
    // The connected device went away; the reset follows.
    virtual void reportDeviceLost(const QString &device) = 0;
    // A probe has listed `listed` ports; `unlisted` are the devices it did
    // not list that the user should hear about, with the reason.
    virtual void probeFinished(int listed, const QList<UnlistedPort> &unlisted) = 0;
};

// Finds the serial ports by probing numbers 1 to 10, lists those that open,
// connects to the one the user picks and resets everything on disconnect,
// refusal, failure or the loss of the device.
class PortConnection {
public:
    static constexpr int kHighestPort = serial::PortMap::kMaxPorts;
    static inline const QString kEntryPrefix = QStringLiteral("Com - ");

    // `map` is rebuilt at the start of every probe.
    PortConnection(PortControl &port, serial::PortMap &map, ConnectionView &view);

    // Called after every successful open, before any byte is read.
    std::function<void()> onConnected;

    // The probe: lists every port from 1 to 10 that opens.
    void PortTara();
    // Connects to the port of the selected entry.
    void PortBaglan();
    // Closes the port, probes again and resets the controls.
    void PortSifirla();
    // While no port is open: empties the list and probes again. Picks
    // nothing; does nothing while connected or while a pick is being
    // confirmed.
    void refreshList();

    // The user picked an entry of the port list.
    void portPicked();
    // The user clicked the disconnect button.
    void disconnectClicked();
    // The open device went away.
    void deviceLost();
    // The main window unloads.
    void unload();

private:
    // Keeps why the device of port `number` did not open, when the user
    // should hear it: named on the command line, busy or refused.
    void noteUnlisted(int number, QList<UnlistedPort> &unlisted);

    PortControl &port_;
    serial::PortMap &map_;
    ConnectionView &view_;
    QSet<QString> seen_; // devices that a probe has listed
    QString connected_;  // the device of the open connection
    int PortSayisi = 0; // entries that the latest probe listed
    int PortNo = 0;     // loop variable of the probe and of emptying the list
    bool picking_ = false; // between a pick and the end of its connection attempt
};

} // namespace tavlun::ui
