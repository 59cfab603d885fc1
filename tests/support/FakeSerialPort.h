#pragma once

#include "serial/SerialPort.h"

#include <QSet>
#include <QStringList>

namespace tavlun::test {

// A serial port that delivers chosen chunks as separate reads and records
// everything written to it. Ports listed in `openable` open; the others fail
// as a missing or busy device would.
class FakeSerialPort final : public serial::SerialPort {
    Q_OBJECT

public:
    using SerialPort::SerialPort;

    // Raises one receive event whose read returns exactly `chunk`.
    void deliver(const QString &chunk);
    // Raises an event of another kind, with `waiting` left unread.
    void raiseOtherEvent(serial::CommEvent kind, const QString &waiting = {});
    // Characters that wait and have not been read.
    const QString &waiting() const { return waiting_; }

    QSet<int> openable;            // port numbers that open
    int highestNumber = 10;        // setPortNumber fails above this
    QString written;               // everything written, in order
    QStringList calls;             // the operations, in order
    int opens = 0;
    QString lineSettings;
    QString openFailure = QStringLiteral("Device or resource busy"); // the reason a failed open gives
    int receiveThreshold = -1;
    int inputLength = -1;

    bool setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool setLineSettings(const QString &settings) override;
    void setReceiveThreshold(int characters) override;
    void setInputLength(int characters) override;
    serial::CommEvent eventKind() const override { return event_; }
    QString readInput() override;
    bool writeText(const QString &text) override;
    QString lastErrorText() const override { return lastError_; }

    // Makes the open device vanish, as an unplugged adapter does.
    void unplug();

private:
    int number_ = 0;
    bool open_ = false;
    serial::CommEvent event_ = serial::CommEvent::None;
    QString waiting_;
    QString lastError_;
};

} // namespace tavlun::test
