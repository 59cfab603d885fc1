#include "QtSerialPort.h"

namespace tavlun::serial {

QtSerialPort::QtSerialPort(const PortMap &map, QObject *parent)
    : SerialPort(parent), map_(map)
{
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort()
{
    // Closing here, before the members go, keeps errorOccurred from
    // reaching a half-destroyed object.
    port_.disconnect(this);
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::setPortNumber(int number)
{
    const QString device = map_.deviceFor(number);
    if (device.isEmpty() || port_.isOpen())
        return false;
    number_ = number;
    port_.setPortName(device);
    return true;
}

bool QtSerialPort::open()
{
    lastError_.clear();
    lossReported_ = false;
    if (port_.isOpen() || port_.portName().isEmpty())
        return false;
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        return false;
    }
    const bool configured = port_.setBaudRate(settings_.baudRate)
        && port_.setParity(settings_.parity)
        && port_.setDataBits(settings_.dataBits)
        && port_.setStopBits(settings_.stopBits)
        && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        lastError_ = port_.errorString();
        port_.close();
        port_.clearError();
        return false;
    }
    // Bytes that the driver buffered before this open belong to no
    // connection of ours.
    port_.clear(QSerialPort::AllDirections);
    return true;
}

void QtSerialPort::close()
{
    if (port_.isOpen())
        port_.close();
    port_.clearError();
}

bool QtSerialPort::isOpen() const
{
    return port_.isOpen();
}

bool QtSerialPort::setLineSettings(const QString &settings)
{
    const auto parsed = LineSettings::parse(settings);
    if (!parsed)
        return false;
    settings_ = *parsed;
    return true;
}

void QtSerialPort::setReceiveThreshold(int characters)
{
    threshold_ = characters;
}

void QtSerialPort::setInputLength(int characters)
{
    inputLength_ = characters;
}

QString QtSerialPort::readInput()
{
    const QByteArray bytes = inputLength_ > 0 ? port_.read(inputLength_) : port_.readAll();
    return QString::fromLatin1(bytes);
}

bool QtSerialPort::writeText(const QString &text)
{
    if (!port_.isOpen())
        return false;
    const QByteArray bytes = text.toLatin1();
    if (port_.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the driver now rather than at the next turn of the
    // event loop: the accessory waits for every answer.
    port_.flush();
    return true;
}

void QtSerialPort::raise(CommEvent kind)
{
    event_ = kind;
    emit commEvent();
    event_ = CommEvent::None;
}

void QtSerialPort::onReadyRead()
{
    if (threshold_ > 0 && port_.bytesAvailable() >= threshold_)
        raise(CommEvent::Receive);
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    // A failing open() reports here before it returns: keep the reason that
    // clearError() below would wipe.
    if (!port_.isOpen())
        lastError_ = port_.errorString();
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // The device went away (an unplugged adapter reports a resource
        // error, a hung-up terminal a read error). Qt reports it again at
        // every turn of the event loop while the port stays open, so the
        // owner is told and closes it.
        port_.clearError();
        if (port_.isOpen() && !lossReported_) {
            lossReported_ = true;
            emit deviceLost();
        }
        return;
    default:
        port_.clearError();
        return;
    }
}

} // namespace tavlun::serial
