#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace tavlun::link {

// Assembles received bytes into command lines. Every carriage return
// completes the line that it ends; one line feed right after it belongs to
// the terminator, also when it comes in the next read. Bytes are Latin-1
// characters. A line that grows past kMaxLineLength cannot be a command of
// the accessory: it is dropped, up to its end.
class LineFramer {
public:
    static constexpr qsizetype kMaxLineLength = 4096;

    // Takes in the bytes of one read. For every line that they complete,
    // lineDone runs while buffer() holds that line, carriage return last;
    // the buffer is emptied after it.
    void feed(QByteArrayView bytes, const std::function<void()> &lineDone);

    // `GelenVeri`: the line received so far.
    const QString &buffer() const { return GelenVeri; }
    // Empties the buffer and forgets any pending terminator.
    void clear();

private:
    void appendPartial(QByteArrayView part);

    QString GelenVeri;
    bool lineFeedEndsTerminator_ = false; // the last read ended on a carriage return
    bool discarding_ = false;             // dropping an over-long line up to its end
};

} // namespace tavlun::link
