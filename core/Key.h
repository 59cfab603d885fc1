#pragma once

#include <cstdint>

namespace tavlun::core {

// C0 controls, DEL and C1 controls: actions of keys rather than text, never
// typed as characters.
constexpr bool isControlCharacter(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// One key to type into the application that has the keyboard focus: a
// character, typed as itself whatever the keyboard layout, or one of the
// keys that type no character.
class Key {
public:
    enum class Kind : std::uint8_t { Character, Backspace, Enter, Escape };

    static constexpr Key character(char32_t c) { return {Kind::Character, c}; }
    static constexpr Key backspace() { return {Kind::Backspace, 0}; }
    static constexpr Key enter() { return {Kind::Enter, 0}; }
    static constexpr Key escape() { return {Kind::Escape, 0}; }

    constexpr Kind kind() const { return kind_; }
    // The character of a character key; 0 for the others.
    constexpr char32_t character() const { return character_; }

    bool operator==(const Key &) const = default;

private:
    constexpr Key(Kind kind, char32_t character) : kind_(kind), character_(character) {}

    Kind kind_;
    char32_t character_;
};

// Types keys into the application that has the keyboard focus, without
// waiting for it to take them.
class KeyTyper {
public:
    virtual ~KeyTyper() = default;

    // False when the key could not be sent.
    virtual bool type(Key key) = 0;
};

} // namespace tavlun::core
