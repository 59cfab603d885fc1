#include "LineFramer.h"

namespace tavlun::link {

void LineFramer::feed(QByteArrayView bytes, const std::function<void()> &lineDone)
{
    qsizetype pos = 0;
    if (lineFeedEndsTerminator_ && !bytes.isEmpty()) {
        lineFeedEndsTerminator_ = false;
        if (bytes.front() == '\n')
            pos = 1;
    }
    while (pos < bytes.size()) {
        const qsizetype cr = bytes.indexOf('\r', pos);
        if (cr < 0) {
            appendPartial(bytes.sliced(pos));
            return;
        }
        appendPartial(bytes.sliced(pos, cr - pos));
        if (discarding_) {
            discarding_ = false;
        } else {
            GelenVeri += u'\r';
            lineDone();
        }
        GelenVeri.clear();
        pos = cr + 1;
        if (pos == bytes.size())
            lineFeedEndsTerminator_ = true;
        else if (bytes[pos] == '\n')
            ++pos;
    }
}

void LineFramer::appendPartial(QByteArrayView part)
{
    if (discarding_ || part.isEmpty())
        return;
    GelenVeri += QLatin1StringView(part);
    if (GelenVeri.size() > kMaxLineLength) {
        GelenVeri.clear();
        discarding_ = true;
    }
}

void LineFramer::clear()
{
    GelenVeri.clear();
    lineFeedEndsTerminator_ = false;
    discarding_ = false;
}

} // namespace tavlun::link
