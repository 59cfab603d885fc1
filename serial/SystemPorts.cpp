#include "SystemPorts.h"

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

} // namespace tavlun::serial
