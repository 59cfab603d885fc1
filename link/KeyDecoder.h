#pragma once

#include <QString>

namespace tavlun::link {

// What one keypad command asks for: a text to deliver and/or one Backspace.
struct KeyOutput {
    QString token;      // empty, one character, ">", "<", " {Yes} " or " {No} "
    bool clear = false; // the clear key: one Backspace

    bool operator==(const KeyOutput &) const = default;
};

inline const QString kSendMarker = QStringLiteral(" {Yes} ");
inline const QString kEndMarker = QStringLiteral(" {No} ");

// Decodes a completed keypad command line, AT+CKPD="<keys>"[,20] followed by
// its carriage return, into the output token and the clear flag through the
// key table `TusTablosu`. Works by positions alone: every input gives a result.
KeyOutput TusCoz(QStringView GelenVeri);

} // namespace tavlun::link
