#pragma once

#include "PortMap.h"
#include "core/PortConnection.h"

#include <QStringList>

namespace tavlun::serial {

// The ports of this machine as port discovery sees them: numbered by
// PortMap, a failure explained by diagnosePort(), devices told apart by
// deviceIdentity().
class SystemPorts final : public core::PortCatalog {
public:
    explicit SystemPorts(const QStringList &namedDevices) : map_(namedDevices) {}

    void refresh() override { map_.refresh(); }
    std::string deviceFor(int number) const override { return map_.deviceFor(number).toStdString(); }
    bool isNamed(const std::string &device) const override;
    core::PortDiagnosis diagnose(const std::string &device, bool wasPresent,
                                 const std::string &platformError) const override;
    std::vector<std::string> namedWithoutNumber() const override;
    std::string identityOf(const std::string &device) const override;
    std::string deviceWithIdentity(const std::string &identity) const override;

private:
    PortMap map_;
};

} // namespace tavlun::serial
