#include "PortMap.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <utility>

namespace tavlun::serial {

namespace {

// Rank of a device name's family, then its trailing number.
std::pair<int, int> sortKey(const QString &systemLocation)
{
    static const QRegularExpression pattern(QStringLiteral("^(.*?)(\\d*)$"));
    const QString name = systemLocation.section(u'/', -1);
    const auto match = pattern.match(name);
    const QString stem = match.captured(1);
    const int number = match.captured(2).isEmpty() ? -1 : match.captured(2).toInt();
    int rank = 4;
    if (stem == u"ttyUSB")
        rank = 0;
    else if (stem == u"ttyACM")
        rank = 1;
    else if (stem == u"rfcomm")
        rank = 2;
    else if (stem == u"ttyS")
        rank = 3;
    return {rank, number};
}

} // namespace

PortMap::PortMap(QStringList explicitDevices) : explicit_(std::move(explicitDevices))
{
    devices_ = explicit_.mid(0, kMaxPorts);
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
    if (devices_.size() > kMaxPorts)
        devices_.resize(kMaxPorts);
}

QString PortMap::deviceFor(int number) const
{
    if (number < 1 || number > devices_.size())
        return {};
    return devices_[number - 1];
}

} // namespace tavlun::serial
