#include "OutputDelivery.h"

#include "Utf8.h"

namespace tavlun::core {

void OutputDelivery::deliverKeypadKey(const DecodedKey &key)
{
    if (target_.isNormalState())
        target_.focusTextBox();

    if (key.clear) {
        // In the normal state the text box is where keys go, even while
        // another application has the keyboard focus: a Backspace typed
        // there would delete a character of the user's other work.
        if (target_.isNormalState())
            target_.backspaceInTextBox();
        else
            typer_.type(Key::backspace());
    }
    // The character of code 0 (a key-table cell without a character) and
    // other control characters are never delivered: a serial peer must not
    // be able to type control keys into the user's applications.
    const std::optional<char32_t> sole = soleCharacter(key.token);
    if (key.token.empty() || (sole && isControlCharacter(*sole)))
        return;

    if (target_.isNormalState()) {
        target_.appendToTextBox(key.token);
        return;
    }
    if (key.token == kSendMarker)
        typer_.type(Key::enter());
    else if (key.token == kEndMarker)
        typer_.type(Key::escape());
    else if (sole)
        typer_.type(Key::character(*sole));
}

} // namespace tavlun::core
