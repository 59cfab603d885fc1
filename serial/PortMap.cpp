#include "PortMap.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <utility>

namespace tavlun::serial {

namespace {

// Rank of a device name's family (other families after these), then its
// trailing number.
std::pair<qsizetype, int> sortKey(const QString &systemLocation)
{
    static const QRegularExpression pattern(QStringLiteral("^(.*?)(\\d*)$"));
    static const QStringList families{QStringLiteral("ttyUSB"), QStringLiteral("ttyACM"),
                                      QStringLiteral("rfcomm"), QStringLiteral("ttyS")};
    const auto match = pattern.match(systemLocation.section(u'/', -1));
    const qsizetype family = families.indexOf(match.captured(1));
    return {family < 0 ? families.size() : family, match.captured(2).toInt()};
}

} // namespace

PortMap::PortMap(QStringList explicitDevices) : explicit_(std::move(explicitDevices))
{
    explicit_.removeDuplicates();
}

QStringList PortMap::orderedSystemPorts(QStringList ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const QString &a, const QString &b) {
        const auto ka = sortKey(a);
        const auto kb = sortKey(b);
        return ka != kb ? ka < kb : a < b;
    });
    return ports;
}

void PortMap::refresh()
{
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    refreshFrom(ports);
}

void PortMap::refreshFrom(const QStringList &systemPorts)
{
    devices_ = explicit_;
    for (const QString &port : orderedSystemPorts(systemPorts)) {
        if (!devices_.contains(port))
            devices_ << port;
    }
    devices_.resize(std::min<qsizetype>(devices_.size(), kMaxPorts));
}

QString PortMap::deviceFor(int number) const
{
    if (number < 1 || number > devices_.size())
        return {};
    return devices_[number - 1];
}

} // namespace tavlun::serial
