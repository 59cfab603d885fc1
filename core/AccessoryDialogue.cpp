#include "AccessoryDialogue.h"

#include "Utf8.h"

namespace tavlun::core {

void AccessoryDialogue::receive(std::string_view bytes)
{
    framer_.feed(bytes, [this] { completeLine(); });
}

void AccessoryDialogue::completeLine()
{
    // The accessory waits for the answer: it goes out before anything else.
    output_.writeAnswer(kAnswer);
    const std::string &line = framer_.line();
    std::string received(kReceivedPrefix);
    received += latin1ToUtf8(std::string_view(line).substr(0, line.size() - 1));
    output_.post(LogEntry{std::move(received)});
    output_.post(LogEntry{std::string(kAnswerEntry)});

    if (lineStartsWith(kRevisionQuery))
        output_.post(PromptChange{std::string(kSmsKeyPrompt)});
    if (lineStartsWith(kKeypadCommand)) {
        output_.post(PromptChange{std::string(kKeyboardReadyPrompt)});
        output_.post(KeypadKeyDecoded{decodeKeySequence(line)});
    }
}

} // namespace tavlun::core
