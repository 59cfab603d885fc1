#include "ScratchpadWatch.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

#include <cstring>
#include <optional>
#include <unistd.h>

namespace tavlun::ui {

namespace {

// Every message, either way: the magic, the payload's length and its type
// (32 bits each, in the machine's byte order), then the payload (JSON).
constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype kHeaderSize = sizeof kMagic + 2 * sizeof(quint32);
constexpr quint32 kSubscribe = 2;
constexpr quint32 kGetTree = 4;
constexpr quint32 kWindowEvent = 0x80000003; // events have the high bit set
const QString kScratchpadWorkspace = QStringLiteral("__i3_scratch");

QString socketPath()
{
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    return sway.isEmpty() ? qEnvironmentVariable("I3SOCK") : sway;
}

} // namespace

ScratchpadWatch::ScratchpadWatch(const QWidget &window) : window_(window)
{
    connect(&socket_, &QLocalSocket::connected, this, [this] {
        // The tree after the subscription: a window already put into the
        // scratchpad by a rule of the compositor's, before it took the
        // subscription, is found there; later changes come as events.
        send(kSubscribe, QByteArrayLiteral(R"(["window"])"));
        send(kGetTree, {});
    });
    connect(&socket_, &QLocalSocket::readyRead, this, &ScratchpadWatch::readMessages);
    // A compositor that goes away (or never answers) leaves the window to
    // its own state.
    connect(&socket_, &QLocalSocket::disconnected, this, [this] { setHidden(false); });
    connect(&socket_, &QLocalSocket::errorOccurred, this, [this] { setHidden(false); });
    if (const QString path = socketPath(); !path.isEmpty())
        socket_.connectToServer(path);
}

void ScratchpadWatch::send(quint32 type, const QByteArray &payload)
{
    const auto length = quint32(payload.size());
    QByteArray message(kMagic, sizeof kMagic);
    message.append(reinterpret_cast<const char *>(&length), sizeof length);
    message.append(reinterpret_cast<const char *>(&type), sizeof type);
    socket_.write(message + payload);
}

void ScratchpadWatch::readMessages()
{
    received_ += socket_.readAll();
    while (received_.size() >= kHeaderSize) {
        if (std::memcmp(received_.constData(), kMagic, sizeof kMagic) != 0) {
            socket_.abort(); // not this protocol: nothing more can be read from it
            return;
        }
        quint32 lengthAndType[2];
        std::memcpy(lengthAndType, received_.constData() + sizeof kMagic, sizeof lengthAndType);
        const auto [length, type] = lengthAndType;
        if (received_.size() - kHeaderSize < qsizetype(length))
            return;
        const QByteArray payload = received_.mid(kHeaderSize, length);
        received_.remove(0, kHeaderSize + length);
        // The replies come in the order asked: the last tree is the latest.
        if (type == kGetTree)
            takeTree(payload);
        else if (type == kWindowEvent)
            send(kGetTree, {});
    }
}

void ScratchpadWatch::takeTree(const QByteArray &json)
{
    // A tree without the window (not made yet, or already closed) leaves it
    // where it was.
    if (const std::optional<bool> hidden = findWindow(QJsonDocument::fromJson(json).object(), false))
        setHidden(*hidden);
}

std::optional<bool> ScratchpadWatch::findWindow(const QJsonObject &node, bool inScratchpad) const
{
    if (isWindow(node))
        return inScratchpad;
    inScratchpad = inScratchpad
        || (node.value(u"type").toString() == u"workspace" && node.value(u"name").toString() == kScratchpadWorkspace);
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray()) {
            if (const std::optional<bool> found = findWindow(child.toObject(), inScratchpad))
                return found;
        }
    }
    return std::nullopt;
}

bool ScratchpadWatch::isWindow(const QJsonObject &node) const
{
    // An X11 window has its id in the tree (i3 gives no process ids); a
    // Wayland one has none, and this process may have other windows.
    if (QGuiApplication::platformName() == u"xcb")
        return window_.internalWinId() != 0 && node.value(u"window").toDouble() == double(window_.internalWinId());
    return node.value(u"pid").toInt() == getpid() && node.value(u"name").toString() == window_.windowTitle();
}

void ScratchpadWatch::setHidden(bool hidden)
{
    if (hidden == hidden_)
        return;
    hidden_ = hidden;
    emit hiddenChanged(hidden);
}

} // namespace tavlun::ui
