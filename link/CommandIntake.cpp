#include "CommandIntake.h"

#include "KeyDecoder.h"
#include "serial/SerialPort.h"

namespace tavlun::link {

CommandIntake::CommandIntake(serial::SerialPort &port, const KeyTable &keyTable,
                             TrafficLog &log, StatusPrompt &prompt, OutputDelivery &delivery)
    : port_(port), keyTable_(keyTable), log_(log), prompt_(prompt), delivery_(delivery)
{
}

void CommandIntake::onPortEvent()
{
    if (port_.eventKind() != serial::CommEvent::Receive)
        return;
    receive(port_.readInput());
}

void CommandIntake::receive(QStringView text)
{
    qsizetype pos = 0;
    if (lineFeedEndsTerminator_ && !text.isEmpty()) {
        lineFeedEndsTerminator_ = false;
        if (text.front() == u'\n')
            pos = 1;
    }
    while (pos < text.size()) {
        const qsizetype cr = text.indexOf(u'\r', pos);
        if (cr < 0) {
            appendPartial(text.mid(pos));
            return;
        }
        appendPartial(text.mid(pos, cr - pos));
        if (discarding_) {
            discarding_ = false;
            GelenVeri.clear();
        } else {
            GelenVeri += u'\r';
            completeLine();
        }
        pos = cr + 1;
        if (pos == text.size())
            lineFeedEndsTerminator_ = true;
        else if (text[pos] == u'\n')
            ++pos;
    }
}

void CommandIntake::appendPartial(QStringView part)
{
    if (discarding_ || part.isEmpty())
        return;
    GelenVeri += part;
    if (GelenVeri.size() > kMaxLineLength) {
        GelenVeri.clear();
        discarding_ = true;
    }
}

void CommandIntake::completeLine()
{
    log_.addEntry(kReceivedPrefix + GelenVeri.chopped(1));
    port_.writeText(kAnswer);
    log_.addEntry(kAnswerEntry);
    const int excess = log_.entryCount() - kMaxLogEntries;
    if (excess > 0)
        log_.removeFirstEntries(excess);
    log_.selectEntry(log_.entryCount() - 2);

    if (MesajKont(kRevisionQuery))
        prompt_.setPrompt(kSmsKeyPrompt);
    if (MesajKont(kKeypadCommand))
        prompt_.setPrompt(kKeyboardReadyPrompt);

    KeyOutput output;
    if (MesajKont(kKeypadCommand)) {
        delivery_.focusStep();
        output = TusCoz(GelenVeri, keyTable_);
    }
    delivery_.CiktiGonder(output.token, output.clear);
    GelenVeri.clear();
}

bool CommandIntake::MesajKont(const QString &Gmesaj) const
{
    return GelenVeri.startsWith(Gmesaj);
}

void CommandIntake::clearBuffer()
{
    GelenVeri.clear();
    lineFeedEndsTerminator_ = false;
    discarding_ = false;
}

} // namespace tavlun::link
