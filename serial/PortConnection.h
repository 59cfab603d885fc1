#pragma once

#include "PortDiagnosis.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace tavlun::serial {

class PortMap;
class SerialPort;

// The controls and dialogs that port discovery and connection drive.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;

    // The port list: entries are addressed by index from 0.
    virtual void addPortEntry(const QString &text, const QString &devicePath) = 0;
    virtual void removePortEntry(int index) = 0;
    // The text of the selected entry; empty when none is selected.
    virtual QString selectedPortEntry() const = 0;

    virtual void setPortListEnabled(bool enabled) = 0;
    virtual void setDisconnectEnabled(bool enabled) = 0;
    virtual void setConnectedIndicator(bool connected) = 0;

    // Asks whether to connect through the picked port: true for Yes.
    virtual bool confirmConnect() = 0;
    // Reports that the picked port could not be opened, and why.
    virtual void reportConnectFailure(const QString &reason) = 0;
    // The connected device went away; the reset follows.
    virtual void reportDeviceLost(const QString &device) { (void)device; }
    // Empties the text box, clears the traffic log and restores the prompt.
    virtual void clearSession() = 0;
    // A probe has finished listing ports.
    virtual void probeFinished() {}
};

// A device that the latest probe did not list, and why: every device named
// on the command line, and the system's devices that are busy or refused.
struct UnlistedPort {
    QString device;
    PortDiagnosis diagnosis;
    bool named = false; // given on the command line
};

// Finds the serial ports by probing numbers 1 to 10, lists those that open,
// connects to the one the user picks and resets everything on disconnect,
// refusal, failure or the loss of the device.
class PortConnection {
public:
    static constexpr int kHighestPort = 10;
    static constexpr const char16_t *kEntryPrefix = u"Com - ";
    static constexpr const char16_t *kLineSettings = u"9600,N,8,1";

    // `map`, when given, is rebuilt at the start of every probe.
    PortConnection(SerialPort &port, ConnectionView &view, PortMap *map = nullptr);

    // Called after every successful open, before any byte is read.
    std::function<void()> onConnected;

    // The probe: lists every port from 1 to 10 that opens.
    void PortTara();
    // Connects to the port of the selected entry.
    void PortBaglan();
    // Closes the port, probes again and resets the controls.
    void PortSifirla();

    // The user picked an entry of the port list.
    void portPicked();
    // The user clicked the disconnect button.
    void disconnectClicked();
    // The open device went away.
    void deviceLost();
    // The main window unloads.
    void unload();

    int portCount() const { return PortSayisi; }
    const QList<UnlistedPort> &unlistedPorts() const { return unlisted_; }

private:
    void noteUnlisted(int number);

    SerialPort &port_;
    ConnectionView &view_;
    PortMap *map_;
    QList<UnlistedPort> unlisted_;
    QSet<QString> seen_; // devices that a probe has listed
    int PortSayisi = 0; // entries that the latest probe listed
    int PortNo = 0;     // loop variable of the probe and of emptying the list
};

} // namespace tavlun::serial
