#pragma once

#include "LineSettings.h"
#include "PortMap.h"
#include "SerialPort.h"

#include <QSerialPort>

namespace tavlun::serial {

// The serial line on a real device, through QSerialPort. Port numbers are
// resolved through a PortMap that the caller owns and refreshes.
class QtSerialPort final : public SerialPort {
    Q_OBJECT

public:
    explicit QtSerialPort(const PortMap &map, QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool setPortNumber(int number) override;
    int portNumber() const override { return number_; }
    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool setLineSettings(const QString &settings) override;
    void setReceiveThreshold(int characters) override;
    void setInputLength(int characters) override;
    CommEvent eventKind() const override { return event_; }
    QString readInput() override;
    bool writeText(const QString &text) override;
    QString lastErrorText() const override { return lastError_; }

private:
    void raise(CommEvent kind);
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    const PortMap &map_;
    QSerialPort port_;
    int number_ = 0;
    LineSettings settings_;
    int threshold_ = 0;
    int inputLength_ = 0;
    CommEvent event_ = CommEvent::None;
    QString lastError_;
    bool lossReported_ = false; // deviceLost() was emitted for this open
};

} // namespace tavlun::serial
