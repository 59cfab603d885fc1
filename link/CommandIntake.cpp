#include "CommandIntake.h"

#include "KeyDecoder.h"

namespace tavlun::link {

void CommandIntake::receive(QByteArrayView bytes)
{
    framer_.feed(bytes, [this] { completeLine(); });
}

void CommandIntake::completeLine()
{
    // The accessory waits for the answer: it goes out before anything else.
    output_.writeAnswer(kAnswer);
    const QString &GelenVeri = framer_.buffer();
    output_.addLogEntry(kReceivedPrefix + GelenVeri.chopped(1));
    output_.addLogEntry(kAnswerEntry);

    if (MesajKont(kRevisionQuery))
        output_.setPrompt(kSmsKeyPrompt);
    if (MesajKont(kKeypadCommand))
        output_.setPrompt(kKeyboardReadyPrompt);

    KeyOutput out;
    if (MesajKont(kKeypadCommand)) {
        output_.focusStep();
        out = TusCoz(GelenVeri);
    }
    output_.CiktiGonder(out.token, out.clear);
}

} // namespace tavlun::link
