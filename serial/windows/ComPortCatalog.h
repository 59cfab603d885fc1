#pragma once

#include "SystemComPorts.h"
#include "core/PortConnection.h"

#include <functional>
#include <vector>

namespace tavlun::serial::windows {

// Why a COM port did not open, from the system's error code: another
// program holds it, it is not there (or no longer: such a port may still
// open, and fail at its settings), or it refused to open or to take the
// line's settings. `atSettings` tells a port that opened but failed there.
core::PortDiagnosis diagnoseComPort(unsigned long error, bool atSettings, bool wasPresent);

// The ports of this machine as port discovery sees them: port n is COMn.
// Beyond the ten that are probed, the system's other COM ports are listed
// by portsAbove(), and a port's device is described by its friendly name.
class ComPortCatalog final : public core::PortCatalog {
public:
    // Tells the error code of the latest failed open, and whether it came
    // from the line's settings.
    using LastOpenError = std::function<std::pair<unsigned long, bool>()>;

    explicit ComPortCatalog(LastOpenError lastOpenError) : lastOpenError_(std::move(lastOpenError)) {}

    void refresh() override { system_ = readSystemComPorts(); }
    std::string deviceFor(int number) const override;
    // No device is named on the command line, and COM ports have no identity
    // of their own beyond their number.
    bool isNamed(const std::string &) const override { return false; }
    std::vector<std::string> namedWithoutNumber() const override { return {}; }
    std::string identityOf(const std::string &) const override { return {}; }
    std::string deviceWithIdentity(const std::string &) const override { return {}; }
    core::PortDiagnosis diagnose(const std::string &device, bool wasPresent,
                                 const std::string &platformError) const override;

    // The numbers of the system's COM ports above `highest`, ascending.
    std::vector<int> portsAbove(int highest) const;
    // The friendly name of port `number`'s device, or its name "COMn".
    std::string describe(int number) const;

private:
    LastOpenError lastOpenError_;
    SystemComPorts system_;
};

} // namespace tavlun::serial::windows
