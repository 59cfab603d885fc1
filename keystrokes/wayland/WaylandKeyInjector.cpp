#include "WaylandKeyInjector.h"

#include "VirtualKeymap.h"
#include "keystrokes/Keysyms.h"
#include "keystrokes/Owned.h"
#include "WaylandEventPump.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace tavlun::keystrokes {

namespace {

constexpr std::chrono::milliseconds kAnswerDeadline{3000};

std::uint32_t nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint32_t(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

// Members go in the reverse order of their teardown: the pump first, then
// the proxies, then the connection.
struct WaylandKeyInjector::Private {
    Owned<wl_display, wl_display_disconnect> display;
    Owned<wl_registry, wl_registry_destroy> registry;
    Owned<wl_seat, wl_seat_destroy> seat;
    Owned<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy> manager;
    Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy> keyboard;
    std::unique_ptr<WaylandEventPump> pump;
    VirtualKeymap keymap;
    bool toldBroken = false;

    static void global(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
                       std::uint32_t)
    {
        auto *p = static_cast<Private *>(data);
        if (!p->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
            p->seat.reset(static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
        } else if (!p->manager
                   && std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
            p->manager.reset(static_cast<zwp_virtual_keyboard_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1)));
        }
    }
    static void globalRemove(void *, wl_registry *, std::uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener{&Private::global, &Private::globalRemove};

    bool roundtrip() { return WaylandEventPump::roundtrip(display.get(), kAnswerDeadline); }
    bool broken() const { return pump->lost(); }
    bool sendKeymap();
    QString connectionProblem() const;
};

// Sends the keymap's text and its terminating NUL in a sealed memory file;
// the request carries a duplicate of the descriptor. A memory file takes the
// whole text in one write unless memory runs out: a short write fails.
bool WaylandKeyInjector::Private::sendKeymap()
{
    const std::string text = keymap.text();
    const std::size_t size = text.size() + 1;
    const int fd = memfd_create("tavlun-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const bool ready = fd >= 0 && !text.empty() && write(fd, text.c_str(), size) == ssize_t(size)
        && fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
    if (ready)
        zwp_virtual_keyboard_v1_keymap(keyboard.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, std::uint32_t(size));
    if (fd >= 0)
        close(fd);
    return ready;
}

QString WaylandKeyInjector::Private::connectionProblem() const
{
    const int error = wl_display_get_error(display.get());
    if (error == EPROTO) {
        const wl_interface *interface = nullptr;
        const std::uint32_t code = wl_display_get_protocol_error(display.get(), &interface, nullptr);
        if (interface == &zwp_virtual_keyboard_manager_v1_interface
            && code == ZWP_VIRTUAL_KEYBOARD_MANAGER_V1_ERROR_UNAUTHORIZED)
            return QStringLiteral("the compositor does not allow this program a virtual keyboard");
        return QStringLiteral("the compositor ended the connection (protocol error %1 on %2)")
            .arg(code)
            .arg(QString::fromLatin1(interface ? interface->name : "?"));
    }
    return QStringLiteral("the connection to the compositor was lost (%1)")
        .arg(QString::fromLocal8Bit(std::strerror(error ? error : EPIPE)));
}

WaylandKeyInjector::WaylandKeyInjector(std::unique_ptr<Private> p) : d(std::move(p)) {}

WaylandKeyInjector::~WaylandKeyInjector() = default;

std::unique_ptr<WaylandKeyInjector> WaylandKeyInjector::open(const QByteArray &displayName,
                                                             Failure *failure, QString *failureReason)
{
    const auto fail = [&](Failure kind, const QString &reason) {
        if (failure)
            *failure = kind;
        if (failureReason)
            *failureReason = reason;
        return nullptr;
    };

    auto d = std::make_unique<Private>();
    d->display.reset(wl_display_connect(displayName.isEmpty() ? nullptr : displayName.constData()));
    if (!d->display) {
        const QByteArray name = displayName.isEmpty() ? qgetenv("WAYLAND_DISPLAY") : displayName;
        return fail(Failure::NoConnection, QStringLiteral("cannot connect to the Wayland display \"")
                                               + QString::fromLocal8Bit(name) + u'"');
    }
    d->registry.reset(wl_display_get_registry(d->display.get()));
    wl_registry_add_listener(d->registry.get(), &Private::kRegistryListener, d.get());
    if (!d->roundtrip())
        return fail(Failure::NoConnection, d->connectionProblem());
    if (!d->manager)
        return fail(Failure::NoVirtualKeyboard,
                    QStringLiteral("the compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1)"));
    if (!d->seat)
        return fail(Failure::NoVirtualKeyboard, QStringLiteral("the compositor offers no seat"));

    d->keyboard.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(d->manager.get(), d->seat.get()));
    if (!d->sendKeymap())
        return fail(Failure::Refused, QStringLiteral("cannot build the keyboard's keymap"));
    if (!d->roundtrip())
        return fail(Failure::Refused, d->connectionProblem());

    d->pump = std::make_unique<WaylandEventPump>(d->display.get());
    return std::unique_ptr<WaylandKeyInjector>(new WaylandKeyInjector(std::move(d)));
}

bool WaylandKeyInjector::type(core::Key typed)
{
    std::uint32_t key = 0;
    std::uint32_t keysym = XKB_KEY_NoSymbol;
    switch (typed.kind()) {
    case core::Key::Kind::Backspace:
        key = kBackspaceEvdev;
        break;
    case core::Key::Kind::Enter:
        key = kReturnEvdev;
        break;
    case core::Key::Kind::Escape:
        key = kEscapeEvdev;
        break;
    case core::Key::Kind::Character:
        keysym = keysymFor(typed);
        if (keysym == XKB_KEY_NoSymbol)
            return false;
        break;
    }

    d->pump->pollEvents();
    if (!d->broken() && keysym != XKB_KEY_NoSymbol) {
        if (const auto bound = d->keymap.keyFor(keysym)) {
            key = *bound;
        } else {
            key = d->keymap.bind(keysym);
            if (!d->sendKeymap()) {
                const char32_t character = typed.character();
                d->keymap.unbindLast();
                if (onProblem)
                    onProblem(QStringLiteral("Bu karakter yazılamadı: %1\n"
                                             "This character could not be typed: %1 (its keymap did not build).")
                                  .arg(QString::fromUcs4(&character, 1))
                                  .toStdString());
                return false;
            }
        }
    }
    if (!d->broken()) {
        // Down and up in one batch: the compositor gets both or neither, so
        // no key is ever left held (clients repeat held keys).
        const std::uint32_t time = nowMs();
        zwp_virtual_keyboard_v1_key(d->keyboard.get(), time, key, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(d->keyboard.get(), time, key, WL_KEYBOARD_KEY_STATE_RELEASED);
        d->pump->flush();
    }
    if (d->broken()) {
        if (!d->toldBroken && onProblem) {
            d->toldBroken = true;
            onProblem(QStringLiteral("Diğer uygulamalara tuş gönderimi durdu: Wayland bağlantısı kesildi.\n"
                                     "Typing into other applications stopped: %1. "
                                     "Restart Tavlun to type into them again; its own text box keeps working.")
                          .arg(d->connectionProblem()).toStdString());
        }
        return false;
    }
    return true;
}

} // namespace tavlun::keystrokes
