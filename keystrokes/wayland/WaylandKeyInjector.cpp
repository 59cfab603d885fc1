#include "WaylandKeyInjector.h"

#include "SwayKeymapWatch.h"
#include "VirtualKeymap.h"
#include "WaylandConnection.h"
#include "keystrokes/FailureReason.h"
#include "keystrokes/Keysyms.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace tavlun::keystrokes {

namespace {

std::uint32_t millisecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint32_t(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

class WaylandKeyInjector final : public KeyInjector {
public:
    // Creates the keyboard on the connection's seat; on sway, `swayKeymaps`
    // says when sway has replaced the keyboard's keymap.
    WaylandKeyInjector(std::unique_ptr<WaylandConnection> connection, zwp_virtual_keyboard_manager_v1 *manager,
                       std::unique_ptr<SwayKeymapWatch> swayKeymaps)
        : connection_(std::move(connection)),
          keyboard_(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, connection_->seat())),
          swayKeymaps_(std::move(swayKeymaps))
    {
    }

    // Sends the keymap, waits for the compositor to accept the keyboard and
    // its keymap, and starts serving the connection. Returns why that
    // failed, or nothing.
    QString start();

    bool type(core::Key key) override;

private:
    bool sendKeymap();
    QString problem() const;

    // Members go in the reverse order of their teardown: the keyboard, then
    // the connection.
    std::unique_ptr<WaylandConnection> connection_;
    Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy> keyboard_;
    VirtualKeymap keymap_;
    std::unique_ptr<SwayKeymapWatch> swayKeymaps_;
    bool toldConnectionLost_ = false;
};

QString WaylandKeyInjector::start()
{
    if (!sendKeymap())
        return QStringLiteral("cannot build the keyboard's keymap");
    if (!connection_->roundtrip())
        return problem();
    connection_->startPump();
    return {};
}

// Sends the keymap's text and its terminating NUL in a sealed memory file;
// the request carries a duplicate of the descriptor. A memory file takes the
// whole text in one write unless memory runs out: a short write fails.
bool WaylandKeyInjector::sendKeymap()
{
    const std::string text = keymap_.text();
    const std::size_t size = text.size() + 1;
    const int fd = memfd_create("tavlun-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const bool ready = fd >= 0 && !text.empty() && write(fd, text.c_str(), size) == ssize_t(size)
        && fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
    if (ready)
        zwp_virtual_keyboard_v1_keymap(keyboard_.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, std::uint32_t(size));
    if (fd >= 0)
        close(fd);
    return ready;
}

QString WaylandKeyInjector::problem() const
{
    if (connection_->endedWithError(zwp_virtual_keyboard_manager_v1_interface,
                                    ZWP_VIRTUAL_KEYBOARD_MANAGER_V1_ERROR_UNAUTHORIZED))
        return QStringLiteral("the compositor does not allow this program a virtual keyboard");
    return connection_->problem();
}

bool WaylandKeyInjector::type(core::Key key)
{
    const std::uint32_t keysym = keysymFor(key);
    if (keysym == 0)
        return false;

    WaylandEventPump &pump = *connection_->pump();
    pump.pollEvents();
    if (!pump.lost()) {
        // A keymap that sway put in ours' place is replaced before the key.
        const bool replaced = swayKeymaps_ && swayKeymaps_->foreignKeymapSince();
        const std::optional<std::uint32_t> bound = keymap_.keyFor(keysym);
        const std::uint32_t keyToPress = bound ? *bound : keymap_.bind(keysym);
        if ((replaced || !bound) && !sendKeymap()) {
            const char32_t character = key.character();
            if (!bound)
                keymap_.unbindLast();
            if (onProblem)
                onProblem(QStringLiteral("Bu karakter yazılamadı: %1\n"
                                         "This character could not be typed: %1 (its keymap did not build).")
                              .arg(QString::fromUcs4(&character, 1))
                              .toStdString());
            return false;
        }
        // Down and up in one batch: the compositor gets both or neither, so
        // no key is ever left held (clients repeat held keys).
        const std::uint32_t time = millisecondsNow();
        zwp_virtual_keyboard_v1_key(keyboard_.get(), time, keyToPress, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(keyboard_.get(), time, keyToPress, WL_KEYBOARD_KEY_STATE_RELEASED);
        pump.flush();
    }
    if (pump.lost()) {
        if (!toldConnectionLost_ && onProblem) {
            toldConnectionLost_ = true;
            onProblem(QStringLiteral("Diğer uygulamalara tuş gönderimi durdu: Wayland bağlantısı kesildi.\n"
                                     "Typing into other applications stopped: %1. "
                                     "Restart Tavlun to type into them again; its own text box keeps working.")
                          .arg(problem())
                          .toStdString());
        }
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<KeyInjector> openWaylandKeyInjector(const QByteArray &displayName, QString *failureReason)
{
    auto connection = WaylandConnection::open(
        displayName, {.others = {{&zwp_virtual_keyboard_manager_v1_interface, 1}}}, failureReason);
    if (!connection)
        return nullptr;
    auto *manager = connection->global<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface);
    if (!manager)
        return failWith(failureReason,
                        QStringLiteral("the compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1)"));
    if (!connection->seat())
        return failWith(failureReason, QStringLiteral("the compositor offers no seat"));
    const char *swaySocket = std::getenv("SWAYSOCK");
    auto injector = std::make_unique<WaylandKeyInjector>(std::move(connection), manager,
                                                         SwayKeymapWatch::open(swaySocket ? swaySocket : "", VirtualKeymap::kLayoutName));
    if (const QString problem = injector->start(); !problem.isEmpty())
        return failWith(failureReason, problem);
    return injector;
}

} // namespace tavlun::keystrokes
