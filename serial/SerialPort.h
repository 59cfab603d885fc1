#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace tavlun::serial {

// The serial line as the program uses it, on a device through
// QSerialPort. It opens at 9600 baud, no parity, 8 data bits, 1 stop bit,
// without flow control. All calls and signals happen on the thread that owns it.
class SerialPort final : public QObject {
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // False when the device does not exist, is in use or may not be opened;
    // a failed open leaves the port closed and lastErrorText() says why.
    bool open(const QString &device);
    void close();
    bool isOpen() const { return port_.isOpen(); }
    // Sends the bytes at once, adding nothing; what the device cannot take
    // yet follows, in order, as soon as it can. A closed port or a failed
    // device takes nothing.
    void write(QByteArrayView bytes);

    // The platform's reason for the latest failure of open(); empty when it
    // did not say.
    QString lastErrorText() const { return lastError_; }

signals:
    // The bytes of one read, in the order they arrived.
    void received(const QByteArray &bytes);
    // The open device went away (unplugged, far end closed). The port has
    // not been closed yet: the owner decides what to do.
    void deviceLost();

private:
    void onError(QSerialPort::SerialPortError error);
    void writePending();
    // Writes what the driver takes now: how many bytes, or -1 when the device failed.
    qsizetype writeToDevice(QByteArrayView bytes);

    QSerialPort port_{this}; // a child, so that it moves with the port to another thread
    QString lastError_;
    bool lossReported_ = false; // deviceLost() was emitted for this open
    QByteArray pending_;        // bytes the device could not take yet
    std::unique_ptr<QSocketNotifier> writable_; // while the port is open
};

} // namespace tavlun::serial
