#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace tavlun::serial {

// Line settings in the classic text form "9600,N,8,1".
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    bool operator==(const LineSettings &) const = default;

    // Nothing when the text is not of the form baud,parity,data,stop.
    static std::optional<LineSettings> parse(const QString &text);
};

} // namespace tavlun::serial
