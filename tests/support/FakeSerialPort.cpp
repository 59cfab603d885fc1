#include "FakeSerialPort.h"

namespace tavlun::test {

void FakeSerialPort::deliver(const QString &chunk)
{
    waiting_ += chunk;
    event_ = serial::CommEvent::Receive;
    emit commEvent();
    event_ = serial::CommEvent::None;
}

void FakeSerialPort::raiseOtherEvent(serial::CommEvent kind, const QString &waiting)
{
    waiting_ += waiting;
    event_ = kind;
    emit commEvent();
    event_ = serial::CommEvent::None;
}

bool FakeSerialPort::setPortNumber(int number)
{
    calls << QStringLiteral("number %1").arg(number);
    if (number < 1 || number > highestNumber || open_)
        return false;
    number_ = number;
    return true;
}

bool FakeSerialPort::open()
{
    calls << QStringLiteral("open");
    lastError_.clear();
    if (open_ || !openable.contains(number_)) {
        lastError_ = openFailure;
        return false;
    }
    open_ = true;
    ++opens;
    waiting_.clear();
    return true;
}

void FakeSerialPort::close()
{
    calls << QStringLiteral("close");
    open_ = false;
}

bool FakeSerialPort::setLineSettings(const QString &settings)
{
    calls << QStringLiteral("settings ") + settings;
    lineSettings = settings;
    return true;
}

void FakeSerialPort::setReceiveThreshold(int characters)
{
    calls << QStringLiteral("threshold %1").arg(characters);
    receiveThreshold = characters;
}

void FakeSerialPort::setInputLength(int characters)
{
    calls << QStringLiteral("input length %1").arg(characters);
    inputLength = characters;
}

QString FakeSerialPort::readInput()
{
    QString chunk;
    chunk.swap(waiting_);
    return chunk;
}

bool FakeSerialPort::writeText(const QString &text)
{
    written += text;
    return true;
}

void FakeSerialPort::unplug()
{
    openable.remove(number_);
    emit deviceLost();
}

} // namespace tavlun::test
