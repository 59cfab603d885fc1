#pragma once

#include <QObject>
#include <QString>

namespace tavlun::serial {

// Kind of the event that commEvent() announces; the values follow the
// classic serial communications control, where 2 means "characters received".
enum class CommEvent {
    None = 0,
    Receive = 2,
    LineError = 1001,
};

// The serial line as the program uses it. One port object serves every
// connection of the main window: the port number, line settings, receive
// threshold and input length are chosen while closed and apply from the
// next open(). All calls and all signals happen on the user-interface thread.
class SerialPort : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Chooses the port that the next open() opens. False when no device
    // stands for this number.
    virtual bool setPortNumber(int number) = 0;
    virtual int portNumber() const = 0;

    // False when the port does not exist, is in use or may not be opened;
    // a failed open leaves the port closed.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Text such as "9600,N,8,1": baud rate, parity (N, E, O, M, S),
    // data bits, stop bits. False when the text cannot be understood.
    virtual bool setLineSettings(const QString &settings) = 0;
    // Characters that must wait before a receive event is raised;
    // 0 raises none.
    virtual void setReceiveThreshold(int characters) = 0;
    // Most characters that one readInput() returns; 0 means all that wait.
    virtual void setInputLength(int characters) = 0;

    // The kind of the event that is being announced by commEvent().
    virtual CommEvent eventKind() const = 0;
    // The characters waiting, one character per byte (Latin-1); they are
    // consumed.
    virtual QString readInput() = 0;
    // Sends the characters of the text as bytes, adding nothing.
    virtual bool writeText(const QString &text) = 0;

    // Human-readable reason for the latest failure of open(), for tooltips
    // and help; empty when the platform did not say.
    virtual QString lastErrorText() const { return {}; }

signals:
    // Raised for every event of the port; eventKind() tells which.
    void commEvent();
    // The open device went away (unplugged, far end closed). The port has
    // not been closed yet: the owner decides what to do.
    void deviceLost();
};

} // namespace tavlun::serial
