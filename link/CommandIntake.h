#pragma once

#include "LineFramer.h"

#include <QByteArrayView>
#include <QString>

namespace tavlun::link {

inline const QString kRevisionQuery = QStringLiteral("AT+CGMR");
inline const QString kKeypadCommand = QStringLiteral("AT+CKPD=");
inline const QString kSmsKeyPrompt = QStringLiteral(" SMS Tuşuna Basın...");
inline const QString kKeyboardReadyPrompt = QStringLiteral(" Klavye hazır. Bir Tuşa basın...");
inline constexpr QByteArrayView kAnswer = "OK\r\n";
inline const QString kReceivedPrefix = QStringLiteral("-> ");
inline const QString kAnswerEntry = QStringLiteral("<- OK");

// Everything the receive flow asks of the rest of the program, in the order
// it asks for it.
class LinkOutput {
public:
    virtual ~LinkOutput() = default;

    // Writes the answer to the port; called before anything else of a line.
    virtual void writeAnswer(QByteArrayView bytes) = 0;
    // Adds an entry at the end of the traffic log `commesaj`.
    virtual void addLogEntry(const QString &text) = 0;
    // Sets the status prompt `Label1`.
    virtual void setPrompt(const QString &text) = 0;
    // The focus step of delivery, before a keypad command is decoded.
    virtual void focusStep() = 0;
    // `CiktiGonder`: delivers the decoder's output token and clear flag.
    virtual void CiktiGonder(const QString &token, bool clear) = 0;
};

// The phone's side of the accessory's AT dialogue: answers every completed
// line "OK", logs the traffic, follows the accessory's progress in the
// prompt and hands keypad commands to the decoder `TusCoz` and to delivery.
// It is fed the bytes of each read and does no I/O of its own.
class CommandIntake {
public:
    explicit CommandIntake(LinkOutput &output) : output_(output) {}

    // Takes in the bytes of one read of the port.
    void receive(QByteArrayView bytes);

    // True when the receive buffer begins with Gmesaj (exact, case-sensitive).
    bool MesajKont(const QString &Gmesaj) const { return framer_.buffer().startsWith(Gmesaj); }

    // Empties the receive buffer `GelenVeri`.
    void clearBuffer() { framer_.clear(); }
    const QString &buffer() const { return framer_.buffer(); }

private:
    void completeLine();

    LinkOutput &output_;
    LineFramer framer_;
};

} // namespace tavlun::link
