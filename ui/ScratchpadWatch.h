#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>

#include <optional>

class QJsonObject;
class QWidget;

namespace tavlun::ui {

// Whether a window lies hidden in the scratchpad of sway or i3. Neither has
// a minimise, and putting a window into the scratchpad tells the window
// nothing; their IPC does. Both speak it on a Unix socket ($SWAYSOCK, or
// $I3SOCK): the watch subscribes to window events and reads the layout tree
// after each, within Qt's event loop.
//
// The window is hidden while it is in the scratchpad and not shown (both
// compositors keep such windows under the workspace "__i3_scratch");
// "scratchpad show" brings it out. Without a socket, or once the compositor
// has gone, the window is never hidden.
class ScratchpadWatch final : public QObject {
    Q_OBJECT

public:
    // Watches `window` through the socket that SWAYSOCK, or else I3SOCK,
    // names. The window is found in the tree by its X11 window on the xcb
    // platform, elsewhere by this process's id and its title.
    explicit ScratchpadWatch(const QWidget &window);

    bool isHidden() const { return hidden_; }

signals:
    void hiddenChanged(bool hidden);

private:
    void send(quint32 type, const QByteArray &payload);
    void readMessages();
    void takeTree(const QByteArray &json);
    // Whether `node`, or a node below it, is the window: and then whether it
    // is hidden. `inScratchpad` says whether `node` lies in the scratchpad.
    std::optional<bool> findWindow(const QJsonObject &node, bool inScratchpad) const;
    bool isWindow(const QJsonObject &node) const;
    void setHidden(bool hidden);

    const QWidget &window_;
    QLocalSocket socket_;
    QByteArray received_; // what has arrived of the messages not taken yet
    bool hidden_ = false;
};

} // namespace tavlun::ui
