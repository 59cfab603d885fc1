#include "SerialPort.h"

#include <QSocketNotifier>

#include <cerrno>

#include <unistd.h>

namespace tavlun::serial {

SerialPort::SerialPort(QObject *parent) : QObject(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        const QByteArray bytes = port_.readAll();
        if (!bytes.isEmpty())
            emit received(bytes);
    });
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

SerialPort::~SerialPort()
{
    // Closing here, before the members go, keeps errorOccurred from
    // reaching a half-destroyed object.
    port_.disconnect(this);
    close();
}

bool SerialPort::open(const QString &device)
{
    lastError_.clear();
    lossReported_ = false;
    // QSerialPort's settings are the line's from the start (9600 baud, 8
    // data bits, no parity, 1 stop bit, no flow control), and open() fails
    // when the device does not take them.
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        // onError() has kept the reason: it is cleared there before open()
        // returns.
        port_.clearError();
        return false;
    }
    // Bytes that the driver buffered before this open belong to no
    // connection of ours.
    port_.clear(QSerialPort::AllDirections);
    writable_ = std::make_unique<QSocketNotifier>(port_.handle(), QSocketNotifier::Write);
    writable_->setEnabled(false);
    connect(writable_.get(), &QSocketNotifier::activated, this, &SerialPort::writePending);
    return true;
}

void SerialPort::close()
{
    writable_.reset();
    pending_.clear();
    if (port_.isOpen())
        port_.close();
    port_.clearError();
}

void SerialPort::write(QByteArrayView bytes)
{
    if (!port_.isOpen())
        return;
    // The accessory waits for every answer: the bytes go straight to the
    // device (opened non-blocking). What its driver cannot take now waits
    // here, and what comes meanwhile waits behind it, until the device can be
    // written again: a device that stops reading makes answers wait, never lost.
    if (!pending_.isEmpty()) {
        pending_.append(bytes.data(), bytes.size());
        return;
    }
    const qsizetype written = writeToDevice(bytes);
    if (written < 0)
        return; // the read side reports the device gone
    pending_.append(bytes.data() + written, bytes.size() - written);
    writable_->setEnabled(!pending_.isEmpty());
}

void SerialPort::writePending()
{
    const qsizetype written = writeToDevice(pending_);
    if (written < 0)
        pending_.clear();
    else
        pending_.remove(0, written);
    writable_->setEnabled(!pending_.isEmpty());
}

qsizetype SerialPort::writeToDevice(QByteArrayView bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(port_.handle(), bytes.data() + written, size_t(bytes.size() - written));
        if (n > 0)
            written += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN)
            break; // the driver's buffer is full
        else
            return -1; // the device failed: the read side reports it gone
    }
    return written;
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    // A failing open() reports here before it returns: keep the reason that
    // clearing the error wipes.
    if (!port_.isOpen() && lastError_.isEmpty())
        lastError_ = port_.errorString();
    port_.clearError();
    // The device went away (an unplugged adapter reports a resource error,
    // a hung-up terminal a read error). Qt reports it again at every turn of
    // the event loop while the port stays open, so the owner is told once.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (lost && port_.isOpen() && !lossReported_) {
        lossReported_ = true;
        emit deviceLost();
    }
}

} // namespace tavlun::serial
