#pragma once

#include "PortDiagnosis.h"

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavlun::core {

// The serial port as port discovery and connection use it.
class PortControl {
public:
    virtual ~PortControl() = default;

    // Opens the device at 9600 baud, no parity, 8 data bits, 1 stop bit;
    // false when it does not exist, is in use or may not be opened. A
    // successful open also forgets the part line received before.
    virtual bool open(const std::string &device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The platform's reason for the latest failure of open().
    virtual std::string lastErrorText() const = 0;
};

// Which device stands for each port number, and why a device would not open.
class PortCatalog {
public:
    virtual ~PortCatalog() = default;

    // Looks at the system's serial devices again.
    virtual void refresh() = 0;
    // The device of port `number` (1 to 10), or empty when none stands for it.
    virtual std::string deviceFor(int number) const = 0;
    // True for a device that the user named (on the command line).
    virtual bool isNamed(const std::string &device) const = 0;
    // Looks at `device` after an open failed; `wasPresent` tells a device
    // that was listed before from one that never existed, `platformError` is
    // what the port said.
    virtual PortDiagnosis diagnose(const std::string &device, bool wasPresent,
                                   const std::string &platformError) const = 0;
    // The devices named on the command line that no port number reaches.
    virtual std::vector<std::string> namedWithoutNumber() const = 0;
    // What tells `device` from every other device whatever name it gets (a
    // USB adapter's ids and serial number); empty when it has nothing of the
    // kind or is not there.
    virtual std::string identityOf(const std::string &device) const = 0;
    // The serial device present now whose identity is `identity`, or empty.
    virtual std::string deviceWithIdentity(const std::string &identity) const = 0;
};

// A device that the latest probe did not list, and why: every device named
// on the command line, and the system's devices that are busy or refused.
struct UnlistedPort {
    std::string device;
    PortDiagnosis diagnosis;
    bool named = false; // given on the command line
    bool kept = false;  // the device to keep connected, not connected now
};

// The controls and dialogs that port discovery and connection drive.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;

    // The port list: entries are addressed by index from 0; each carries its
    // port number and its device.
    virtual void addPortEntry(const std::string &text, int number, const std::string &device) = 0;
    virtual void removePortEntry(int index) = 0;
    // The port number of the selected entry; 0 when none is selected.
    virtual int selectedPortNumber() const = 0;
    // Selects the entry of port `number`, for a connection made without a pick.
    virtual void selectPortEntry(int number) = 0;

    virtual void setPortListEnabled(bool enabled) = 0;
    virtual void setDisconnectEnabled(bool enabled) = 0;
    virtual void setConnectedIndicator(bool connected) = 0;

    // Asks whether to connect through the picked port: true for Yes.
    virtual bool confirmConnect() = 0;
    // Reports that the picked port could not be opened, and why.
    virtual void reportConnectFailure(const std::string &reason) = 0;
    // Empties the text box, clears the traffic log and restores the prompt.
    virtual void clearSession() = 0;
    // The connected device went away; the reset follows. `reconnects`: it
    // is the device kept connected, connected again when it comes back.
    virtual void reportDeviceLost(const std::string &device, bool reconnects) = 0;
    // Whether the device kept connected is awaited (not connected) now.
    virtual void showKeptDeviceAwaited(bool awaited) = 0;
    // A probe has listed `listed` ports; `unlisted` are the devices it did
    // not list that the user should hear about, with the reason.
    virtual void probeFinished(int listed, const std::vector<UnlistedPort> &unlisted) = 0;
};

// Finds the serial ports by probing numbers 1 to 10, lists those that open,
// connects to the one the user picks and resets everything on disconnect,
// refusal, failure or the loss of the device. Told to keep one device
// connected, it connects to it without asking whenever a probe finds it
// openable: at start, once it is plugged in, after every unplug; until the
// user connects another port or disconnects.
class PortConnection {
public:
    static constexpr int kHighestPort = 10;
    static constexpr std::string_view kEntryPrefix = "Com - ";

    PortConnection(PortControl &port, PortCatalog &catalog, ConnectionView &view);

    // Called after every successful open, before any byte is read.
    std::function<void()> onConnected;
    // Called after every probe while a device is kept connected but is not:
    // with the device when another program holds it (the platform then
    // says when it may have let it go, as a change of the devices), else
    // with an empty string.
    std::function<void(const std::string &device)> onKeptDeviceHeld;

    // From now on keeps `device` connected (see above); the next probe
    // connects it. Empty: keeps nothing.
    void keepConnected(const std::string &device);

    // Lists every port from 1 to 10 that opens.
    void probePorts();
    // Connects to the port of the selected entry.
    void connectSelectedPort();
    // Closes the port, probes again and resets the controls.
    void resetPorts();
    // While no port is open: empties the list, probes again and connects
    // the device kept connected if it opens. Picks nothing; does nothing
    // while connected or while a pick is being confirmed.
    void refreshList();

    // The user picked an entry of the port list.
    void portPicked();
    // The user clicked the disconnect button.
    void disconnectClicked();
    // The open device went away.
    void deviceLost();
    // The main window closes, or the program ends: the port is closed, and
    // nothing here opens a port again.
    void windowClosing();

private:
    // Keeps why the device of port `number` did not open, when the user
    // should hear it: named on the command line, busy or refused.
    void noteUnlisted(int number, std::vector<UnlistedPort> &unlisted);
    // Empties the list and probes again.
    void relist();
    // Connects the device kept connected if the latest probe found it,
    // under its path or its identity.
    void connectKeptDevice();
    // Keeps nothing connected any more.
    void stopKeeping();
    // Shows the connection to `device`, just opened, as made.
    void showConnected(const std::string &device);

    PortControl &port_;
    PortCatalog &catalog_;
    ConnectionView &view_;
    std::set<std::string> seen_; // devices that a probe has listed
    std::string connected_;      // the device of the open connection
    int listedPorts_ = 0;        // entries that the latest probe listed
    std::vector<UnlistedPort> unlisted_; // what the latest probe did not list
    bool picking_ = false;       // between a pick and the end of its connection attempt
    bool closing_ = false;       // the window has closed: no port is opened again
    std::string kept_;           // the device to keep connected; empty for none
    std::string keptIdentity_;   // its identity, once it has been connected
};

} // namespace tavlun::core
