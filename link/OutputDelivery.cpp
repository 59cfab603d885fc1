#include "OutputDelivery.h"

#include "KeyDecoder.h"

namespace tavlun::link {

namespace {

// The character of code 0 (a key-table cell without a character) and other
// control characters are never delivered: a serial peer must not be able to
// type control keys into the user's applications.
bool isDeliverable(const QString &token)
{
    return token.size() != 1 || !isControlCharacter(token.front().unicode()); // or a marker
}

} // namespace

void OutputDelivery::focusStep()
{
    if (target_.isNormalState())
        target_.focusTextBox();
}

void OutputDelivery::CiktiGonder(const QString &token, bool clear)
{
    if (clear) {
        // In the normal state the text box is where keys go, even while
        // another application has the keyboard focus: a Backspace typed
        // there would delete a character of the user's other work.
        if (target_.isNormalState())
            target_.backspaceInTextBox();
        else
            injector_.sendKeys(kBackspaceKey);
    }
    if (token.isEmpty() || !isDeliverable(token))
        return;

    if (target_.isNormalState()) {
        target_.appendToTextBox(token);
        return;
    }
    if (token == kSendMarker)
        injector_.sendKeys(kEnterKey);
    else if (token == kEndMarker)
        injector_.sendKeys(kEscapeKey);
    else
        injector_.sendKeys(token);
}

} // namespace tavlun::link
