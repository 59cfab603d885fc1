#pragma once

#include "PortConnection.h"

#include <map>
#include <string>
#include <vector>

namespace tavlun::core {

// The help that the port list shows as its tooltip: which devices are not
// listed and why, what to do about it, and the latest failure or loss.
std::string portListHelp(int listedPorts, const std::vector<UnlistedPort> &unlisted,
                         const std::string &lastEvent);

// The notice for a device that went away while connected; `reconnects`:
// the device kept connected, connected again when it comes back.
std::string deviceLostText(const std::string &device, bool reconnects = false);

// Why a device named beyond the last of `ports` port numbers is not listed.
PortDiagnosis noRoomDiagnosis(int ports);

// Why `port` is not listed and what to do, for one line: for the device kept
// connected, what happens once the cause has gone.
std::string unlistedSentence(const UnlistedPort &port);

// What the user hears about the ports, on standard error and in the port
// list's help: why a device named on the command line is not listed (once,
// and again only when the reason changes), and the latest failed connection
// or lost device.
class PortNotices {
public:
    // A connection failed, for `reason`.
    void connectFailed(const std::string &reason);
    // The connected device went away; `reconnects` when it will be connected
    // again once it is back.
    void deviceLost(const std::string &device, bool reconnects);
    // A probe has listed `listed` ports and not `unlisted`: the port list's
    // help.
    std::string probeFinished(int listed, const std::vector<UnlistedPort> &unlisted);

private:
    std::string lastEvent_;
    std::map<std::string, PortDiagnosis::Cause> said_; // the devices not listed, and why
};

// One line (UTF-8) on standard error, after the program's name.
void tellUser(const std::string &line);

} // namespace tavlun::core
