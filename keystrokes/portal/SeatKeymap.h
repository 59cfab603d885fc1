#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tavlun::keystrokes {

// The keyboard layout that the compositor gives its clients, read on a
// Wayland connection of our own: the first seat's keyboard receives the
// keymap, and receives it again whenever the user changes layouts; its
// modifiers event says which of the keymap's layouts (groups) is in use,
// where the compositor sends it, and the desktop may say so by other means
// (useLayout()); until then, the first counts as in use.
// The connection is served from Qt's event loop; when the compositor goes
// away, the last keymap stays in use.
class SeatKeymap {
public:
    // Connects to the compositor (WAYLAND_DISPLAY when the name is empty)
    // and waits for the first keymap. Returns null and sets *failureReason
    // when there is no compositor, no seat with a keyboard, or no keymap.
    static std::unique_ptr<SeatKeymap> connect(const QByteArray &displayName,
                                               QString *failureReason);

    ~SeatKeymap();
    SeatKeymap(const SeatKeymap &) = delete;
    SeatKeymap &operator=(const SeatKeymap &) = delete;

    // The keysym by which the layout in use produces a character, at any
    // shift level, or 0 when no key of it does. Layouts hold many
    // characters under their older keysyms (gbreve, EuroSign) rather than
    // the Unicode keysym, and a compositor looks a keysym up by its number
    // in the layout in use only.
    std::uint32_t keysymFor(char32_t character) const;

    // True when another layout of the keymap, not the one in use, has a
    // key for the character.
    bool otherLayoutHas(char32_t character) const;

    // A key of the layout in use that types a keysym, as an evdev code
    // (the keymap's keycode less 8), with the modifier keys to hold down
    // around it for its shift level (Shift, AltGr), in the order to press.
    struct KeyStroke {
        std::uint32_t key;
        std::vector<std::uint32_t> modifiers;
    };
    // The stroke at the lowest level that types `keysym`; none when no key
    // of the layout in use has it, or its level needs a modifier that no
    // key holds.
    std::optional<KeyStroke> strokeFor(std::uint32_t keysym) const;

    // The desktop says, by means other than this connection, that the
    // layout `index` (a group of the keymap) is in use.
    void useLayout(std::uint32_t index);

    // The name of the layout taken as in use ("Turkish") when the keymap has
    // several and the compositor has not said which one is in use; empty
    // when it has one, or has said.
    QString unconfirmedLayout() const;

private:
    struct Private;
    explicit SeatKeymap(std::unique_ptr<Private> d);

    std::unique_ptr<Private> d;
};

} // namespace tavlun::keystrokes
