#include "SystemPorts.h"

#include "DeviceIdentity.h"
#include "PortDiagnosis.h"

namespace tavlun::serial {

bool SystemPorts::isNamed(const std::string &device) const
{
    return map_.explicitDevices().contains(QString::fromStdString(device));
}

core::PortDiagnosis SystemPorts::diagnose(const std::string &device, bool wasPresent,
                                          const std::string &platformError) const
{
    return diagnosePort(QString::fromStdString(device), wasPresent, QString::fromStdString(platformError));
}

std::vector<std::string> SystemPorts::namedWithoutNumber() const
{
    std::vector<std::string> devices;
    for (const QString &device : map_.explicitWithoutNumber())
        devices.push_back(device.toStdString());
    return devices;
}

std::string SystemPorts::identityOf(const std::string &device) const
{
    return serial::deviceIdentity(QString::fromStdString(device)).toStdString();
}

std::string SystemPorts::deviceWithIdentity(const std::string &identity) const
{
    return serial::deviceWithIdentity(QString::fromStdString(identity)).toStdString();
}

} // namespace tavlun::serial
