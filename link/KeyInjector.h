#pragma once

#include <QString>

#include <functional>

namespace tavlun::link {

// Types keys into the application that has the keyboard focus, without
// waiting for it to process them. A key string is "{BACKSPACE}", "{ENTER}",
// "{ESC}" or one character, which is typed as itself.
class KeyInjector {
public:
    virtual ~KeyInjector() = default;

    // False when the keys could not be sent.
    virtual bool sendKeys(const QString &keyString) = 0;

    // Typing may be needed soon (a port has just been connected): a backend
    // that must ask the desktop for permission asks now, not at the first
    // key, when the question would cover the application being typed into.
    virtual void prepare() {}

    // Set by the owner; called when typing fails after sendKeys() returned,
    // or stops working (permission refused, the desktop went away, a
    // character the user's layout lacks). The text says in one sentence what
    // will not work and what the user can do. Backends call it once per
    // distinct problem.
    std::function<void(const QString &problem)> onProblem;
};

inline const QString kBackspaceKey = QStringLiteral("{BACKSPACE}");
inline const QString kEnterKey = QStringLiteral("{ENTER}");
inline const QString kEscapeKey = QStringLiteral("{ESC}");

// C0 controls, DEL and C1 controls: keys' actions rather than text, never
// typed as characters.
constexpr bool isControlCharacter(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace tavlun::link
