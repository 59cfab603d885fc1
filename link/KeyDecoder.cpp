#include "KeyDecoder.h"

#include "KeyTable.h"

namespace tavlun::link {

namespace {

// Positions below are those of the command line counted from 1:
// 1-8 "AT+CKPD=", 9 the opening quote, 10 onward the key sequence.
constexpr qsizetype kKeyCharIndex = 9;

int keyColumn(QChar first)
{
    if (first == u'#')
        return 10;
    if (first >= u'1' && first <= u'9')
        return first.unicode() - u'0';
    return 0; // "0", "*", letters and anything else fall into key 0
}

} // namespace

KeyOutput TusCoz(QStringView GelenVeri)
{
    KeyOutput out;
    const qsizetype length = GelenVeri.size();

    const QStringView keyChar = GelenVeri.mid(kKeyCharIndex, 1); // empty past the end
    if (keyChar == u"c") {
        out.clear = true;
        return out;
    }
    if (keyChar == u"s") {
        out.token = kSendMarker;
        return out;
    }
    if (keyChar == u"e") {
        out.token = kEndMarker;
        return out;
    }
    if (keyChar == u">" || keyChar == u"<") {
        out.token = keyChar.toString();
        return out;
    }

    // Long press: the press-time parameter 20 stands just before the last
    // character (the carriage return).
    if (length >= 3 && GelenVeri.mid(length - 3, 2) == u"20") {
        out.token = keyChar.toString();
        return out;
    }

    // Key sequence: positions 10 to length - 2 (between the quotes).
    QStringView sequence = length - 11 > 0
        ? GelenVeri.mid(kKeyCharIndex, length - 11)
        : QStringView();
    // A press followed by the clear key: both are dropped.
    if (sequence.size() >= 2 && sequence[1] == u'c')
        sequence = sequence.mid(2);

    const int column = sequence.isEmpty() ? 0 : keyColumn(sequence.front());
    const qsizetype presses = sequence.size();
    if (presses >= kPressCounts)
        return out; // 21 presses or more: nothing
    out.token = QString(QChar(TusTablosu[column][presses]));
    return out;
}

} // namespace tavlun::link
