#pragma once

#include "keystrokes/KeyInjector.h"
#include "keystrokes/portal/RestoreTokenStore.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>

class QDBusError;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace tavlun::keystrokes {

class KdeKeyboardLayouts;
class SeatKeymap;

// What the desktop portal's remote-desktop interface offers, as probe()
// found it.
struct PortalInfo {
    unsigned version; // of the interface; 0 when there is none
    // Why it cannot type, in a few words; empty when it offers a keyboard.
    QString problem;
};

// Types keys through the desktop portal's remote-desktop interface
// (org.freedesktop.portal.RemoteDesktop), the way GNOME and KDE Plasma on
// Wayland let an ordinary program type into other applications.
//
// The first key, or requestPermission(), opens a session: the desktop asks
// the user, and keys that arrive meanwhile are kept and typed in order once
// the user allows it. Each key is its keysym pressed and released, one
// event at a time. With version 2 of the interface and later the
// permission is kept: the desktop's restore token is stored and used at the
// next start, so the user is asked once. A refusal, a failure, the portal
// going away and a session that the desktop ends are reported through
// onProblem; nothing is typed after that and nothing twice.
//
// A compositor may drop keysyms that the user's layout lacks while the
// portal reports success (mutter does), and it looks keysyms up by number.
// With a SeatKeymap a character goes as the keysym that the layout in use
// holds for it (gbreve for ğ, not the Unicode keysym), and a character that
// the layout in use lacks is not sent: onProblem names it and says whether
// another of the user's layouts has it, once per character. Without
// one, Latin-1 characters go as their code points and the others as
// Unicode keysyms.
//
// KDE Plasma's portal looks a keysym up in the first of the user's layouts,
// not the one in use, and drops the modifiers of levels above AltGr, so a
// keysym can arrive as another character. There each key goes as keycodes
// instead (Keys::AsKeycodes): the key of the layout in use that has it,
// with the modifier keys for its level held around it, planned from the
// seat's keymap in the layout that KWin says is in use (KdeKeyboardLayouts).
class PortalKeyInjector final : public QObject, public KeyInjector, protected QDBusContext {
    Q_OBJECT

public:
    // Reads what the portal on `bus` offers.
    static PortalInfo probe(const QDBusConnection &bus);

    // How keys go to the portal: as keysyms, which the desktop looks up in
    // the layout in use (GNOME's mutter does); or as keycodes, for KDE
    // Plasma's portal.
    enum class Keys { AsKeysyms, AsKeycodes };

    // On the session bus, whose portal probe() found, with the user's state
    // directory and the current Wayland compositor's keymap (when there is
    // no keymap, characters are sent unchecked, as keysyms).
    static std::unique_ptr<PortalKeyInjector> open(const PortalInfo &info, Keys keys);

    // With `layouts` (and a keymap), keys go as keycodes planned from `keymap`.
    PortalKeyInjector(const QDBusConnection &bus, const PortalInfo &info,
                      std::unique_ptr<SeatKeymap> keymap, std::unique_ptr<KdeKeyboardLayouts> layouts,
                      const RestoreTokenStore &tokens);
    ~PortalKeyInjector() override;

    // Opens the session, which has the desktop ask the user, unless that
    // has been done already.
    void requestPermission();

    bool type(core::Key key) override;
    void prepare() override { requestPermission(); }

private slots:
    void onResponse(uint response, const QVariantMap &results);
    void onSessionClosed(const QVariantMap &details);
    void onKeyError(const QDBusError &error);
    void onKeySent();

private:
    enum class State { Idle, Asking, Typing, Failed };
    enum class Step { CreateSession, SelectDevices, Start };

    void makeRequest(Step step, const QString &method, QVariantList arguments, QVariantMap options);
    void onRequestCallFinished(QDBusPendingCallWatcher *watcher, const QString &expected);
    void listenForResponse(const QString &path);
    void stopListening();
    void continueAfter(Step step, const QVariantMap &results);
    struct KeyEvent {
        std::uint32_t code; // a keysym, or with `keycode` an evdev code
        uint state;         // 1 pressed, 0 released
        bool keycode;
    };
    // The events that type a keysym, the key's presses and releases; empty
    // when the layout in use has no key for it that Tavlun can press.
    QList<KeyEvent> eventsFor(std::uint32_t keysym) const;
    void tellMissing(char32_t character);
    void sendNextEvent();
    // Typing ends for good: the user is told why, and that Tavlun's own
    // text box still takes the characters.
    void stopTyping(const QString &why);
    void tell(const QString &problem);

    QDBusConnection bus_;
    PortalInfo info_;
    std::unique_ptr<SeatKeymap> keymap_;
    std::unique_ptr<KdeKeyboardLayouts> layouts_; // tells keymap_, so goes first
    RestoreTokenStore restoreTokens_;
    std::unique_ptr<QDBusServiceWatcher> portalWatcher_;

    State state_ = State::Idle;
    Step step_ = Step::CreateSession;
    QString requestPath_;
    QString sessionPath_;
    QList<KeyEvent> eventsWhileAsking_;
    QList<KeyEvent> eventsToSend_;
    bool eventInFlight_ = false;
    QSet<char32_t> missingCharactersTold_;
};

} // namespace tavlun::keystrokes
