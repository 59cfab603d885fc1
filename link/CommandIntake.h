#pragma once

#include "KeyTable.h"
#include "LinkDisplay.h"
#include "OutputDelivery.h"

#include <QString>

namespace tavlun::serial {
class SerialPort;
}

namespace tavlun::link {

inline const QString kRevisionQuery = QStringLiteral("AT+CGMR");
inline const QString kKeypadCommand = QStringLiteral("AT+CKPD=");
inline const QString kSmsKeyPrompt = QStringLiteral(" SMS Tuşuna Basın...");
inline const QString kKeyboardReadyPrompt = QStringLiteral(" Klavye hazır. Bir Tuşa basın...");
inline const QString kAnswer = QStringLiteral("OK\r\n");
inline const QString kReceivedPrefix = QStringLiteral("-> ");
inline const QString kAnswerEntry = QStringLiteral("<- OK");

// The phone's side of the accessory's AT dialogue: assembles received
// characters into command lines, answers every line "OK", logs the traffic,
// follows the accessory's progress in the prompt and hands keypad commands
// to the decoder and delivery.
class CommandIntake {
public:
    // A partial line longer than this cannot be a command of the accessory.
    static constexpr qsizetype kMaxLineLength = 4096;
    // The log keeps at most this many entries; the oldest pairs go first.
    static constexpr int kMaxLogEntries = 32766;

    CommandIntake(serial::SerialPort &port, const KeyTable &keyTable, TrafficLog &log,
                  StatusPrompt &prompt, OutputDelivery &delivery);

    // The handler of every port event: reads what waits and takes it in.
    void onPortEvent();

    // Takes in the characters of one read. Every carriage return completes
    // the line that it ends (a line feed right after it belongs to it); the
    // lines are processed one by one in arrival order.
    void receive(QStringView text);

    // True when the receive buffer begins with Gmesaj (exact, case-sensitive).
    bool MesajKont(const QString &Gmesaj) const;

    // Empties the receive buffer and forgets any pending terminator state.
    void clearBuffer();
    const QString &buffer() const { return GelenVeri; }

private:
    void appendPartial(QStringView part);
    void completeLine();

    serial::SerialPort &port_;
    const KeyTable &keyTable_;
    TrafficLog &log_;
    StatusPrompt &prompt_;
    OutputDelivery &delivery_;

    QString GelenVeri;                 // the line received so far
    bool lineFeedEndsTerminator_ = false; // the last read ended on a carriage return
    bool discarding_ = false;          // dropping an over-long line up to its end
};

} // namespace tavlun::link
