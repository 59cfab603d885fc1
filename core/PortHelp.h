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

// The prefix of the latest failure in the port list's help.
inline constexpr std::string_view kLastFailurePrefix = "Son bağlantı hatası: ";
// The prefix of a failed connection's line on standard error.
inline constexpr std::string_view kConnectFailedPrefix = "bağlantı kurulamadı: ";

// Says on standard error why a device named on the command line is not
// listed: once, and again only when the reason changes.
class UnlistedPortLog {
public:
    void report(const std::vector<UnlistedPort> &unlisted);
    // The device was lost while connected, which has been said already.
    void markLost(const std::string &device);

private:
    std::map<std::string, PortDiagnosis::Cause> said_;
};

// One line (UTF-8) on standard error, after the program's name.
void tellUser(const std::string &line);

} // namespace tavlun::core
