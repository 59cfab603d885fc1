#include "PortListing.h"

namespace tavlun::app::windows {

void PortListing::probeFinished(int listed, const std::vector<core::UnlistedPort> &unlisted)
{
    std::vector<ui::windows::PortEntry> further;
    std::vector<core::UnlistedPort> notListed = unlisted;
    for (const int number : catalog_.portsAbove(core::PortConnection::kHighestPort)) {
        const std::string device = catalog_.deviceFor(number);
        if (port_.open(device)) {
            port_.close();
            further.push_back({std::string(core::PortConnection::kEntryPrefix) + std::to_string(number), number,
                               catalog_.describe(number)});
            continue;
        }
        // As for the probed ports: a busy port is worth a word.
        core::PortDiagnosis diagnosis = catalog_.diagnose(device, false, port_.lastErrorText());
        if (diagnosis.kind == core::PortDiagnosis::Cause::Busy)
            notListed.push_back({device, std::move(diagnosis), false});
    }
    const int listedFurther = int(further.size());
    window_.setFurtherPorts(std::move(further));
    window_.probeFinished(listed + listedFurther, notListed);
}

} // namespace tavlun::app::windows
