#include "AboutWindow.h"

#include "DesktopShell.h"
#include "QtLayout.h"
#include "ui/layout/AboutWindowLayout.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

namespace tavlun::ui {

namespace {

namespace look = layout::aboutwindow;

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// A label with a transparent background (the default for QLabel) and its
// text centred along the top, as the window's labels all are.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, layout::Rect rect,
                  const layout::Font &look)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(pixels(rect));
    label->setFont(font(look));
    return label;
}

QLabel *makeLabel(QWidget *parent, const char *name, const layout::Label &look)
{
    QLabel *label = makeLabel(parent, name, qt(look.text), look.rect, look.font);
    if (systemColorRole(look.colour) != QPalette::WindowText) // the default needs no palette of its own
        setTextColour(label, colour(look.colour, parent->palette()));
    return label;
}

void setUnderline(QLabel *label, bool on)
{
    QFont font = label->font();
    font.setUnderline(on);
    label->setFont(font);
}

} // namespace

AboutWindow::AboutWindow(DesktopShell &shell, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint),
      shell_(shell)
{
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowTitle(qt(look::kCaption));
    setFixedSize(pixels(look::kClient));
    // The background follows the palette, so it keeps up with theme changes.
    setBackgroundRole(systemColorRole(look::kBackground));
    setAutoFillBackground(true);

    buildControls();
}

void AboutWindow::buildControls()
{
    makeLabel(this, "productName", look::kProductName);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("accessoryPicture"));
    picture->setGeometry(pixels(look::kAccessoryPicture));
    picture->setPixmap(QPixmap(QStringLiteral(":/images/accessory.png")));

    linkFrame_ = new QFrame(this);
    linkFrame_->setObjectName(QStringLiteral("linkFrame"));
    linkFrame_->setGeometry(pixels(look::kLinkFrame));
    linkFrame_->setFrameStyle(QFrame::Box | QFrame::Sunken); // an etched border, no caption

    makeLabel(linkFrame_, "authorLine", look::kAuthorLine);
    mailLink_ = makeLabel(linkFrame_, "mailLink", look::kMailLink);
    webLink_ = makeLabel(linkFrame_, "webLink", look::kWebLink);
    makeLabel(linkFrame_, "noticeLine", qt(look::noticeLine()), look::kNoticeLine, look::kNoticeFont);

    // Every pointer move over a link or over the frame's own area counts,
    // buttons held or not. Moves over the other controls are dropped by Qt,
    // since they do not track the pointer, and so never reach the frame.
    for (QWidget *watched : {static_cast<QWidget *>(mailLink_), static_cast<QWidget *>(webLink_),
                             static_cast<QWidget *>(linkFrame_)}) {
        watched->setMouseTracking(true);
        watched->installEventFilter(this);
    }
    mailLink_->setCursor(Qt::PointingHandCursor);
    webLink_->setCursor(Qt::PointingHandCursor);
}

void AboutWindow::showEvent(QShowEvent *event)
{
    // A window that comes back from the window manager (spontaneous) keeps
    // its state; a new showing starts afresh.
    if (!event->spontaneous()) {
        restoreLinks();
        centreOnScreen();
    }
    QDialog::showEvent(event);
}

void AboutWindow::keyPressEvent(QKeyEvent *event)
{
    // Only the close button or the window manager's close command closes the
    // window: QDialog's Escape key does not apply.
    QWidget::keyPressEvent(event);
}

void AboutWindow::centreOnScreen()
{
    const QScreen *where = screen();
    if (!where)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mailLink_ || watched == webLink_) {
        if (handleLinkEvent(static_cast<QLabel *>(watched), event))
            return true;
    } else if (watched == linkFrame_ && event->type() == QEvent::MouseMove) {
        makeLinksPlain();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool AboutWindow::handleLinkEvent(QLabel *link, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        lightUp(link);
        return true;
    case QEvent::MouseButtonPress:
        if (static_cast<const QMouseEvent *>(event)->button() == Qt::LeftButton)
            pressed_ = link;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<const QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        const bool clicked = pressed_ == link && link->rect().contains(mouse->position().toPoint());
        pressed_ = nullptr;
        if (clicked) {
            const bool mail = link == mailLink_;
            shell_.open(this, qt(mail ? look::kMailTargetScheme : look::kWebTargetScheme)
                                  + qt(mail ? look::kMailLink.text : look::kWebLink.text));
        }
        return true;
    }
    default:
        return false;
    }
}

void AboutWindow::lightUp(QLabel *link)
{
    setTextColour(link, colour(look::kLinkLit, palette()));
    setUnderline(link, true);
}

void AboutWindow::makeLinksPlain()
{
    setTextColour(mailLink_, colour(look::kLinkPlain, palette()));
    setTextColour(webLink_, colour(look::kLinkPlain, palette()));
    setUnderline(webLink_, false);
    setUnderline(mailLink_, false);
}

void AboutWindow::restoreLinks()
{
    for (QLabel *link : {mailLink_, webLink_}) {
        link->setPalette(QPalette()); // no role of its own: the default label colour again
        setUnderline(link, false);
    }
    pressed_ = nullptr;
}

} // namespace tavlun::ui
