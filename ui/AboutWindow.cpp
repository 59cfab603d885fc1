#include "AboutWindow.h"

#include "DesktopShell.h"
#include "Twips.h"
#include "tavlun/version.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

namespace tavlun::ui {

namespace {

const QString kCaption = QStringLiteral("Hakkında");
const QString kProductName = QStringLiteral("Tavlun");
const QString kAuthorLine = QStringLiteral("Tavlun geliştiricileri");
const QString kMailAddress = QStringLiteral("tavlun@example.org");
const QString kWebHost = QStringLiteral("www.example.org");
const QString kReleaseMonth = QStringLiteral("Aralık 2026");

// Text colours: product name and author line blue, a lit link red, a link
// that the frame has made plain black.
constexpr quint32 kRed = 0x0000FF;
constexpr quint32 kBlack = 0x000000;

QString noticeLine()
{
    return QStringLiteral("Sürüm ") + QLatin1String(kVersionString) + QStringLiteral(" · ")
        + kReleaseMonth;
}

// A label with a transparent background (the default for QLabel) and its
// text centred along the top, as the window's labels all are.
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                  const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(geometry);
    label->setFont(font);
    return label;
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
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
    setObjectName(QStringLiteral("hakkinda"));
    setWindowTitle(kCaption);
    setFixedSize(twipsToPixels(4680), twipsToPixels(1995));
    // The background follows the palette, so it keeps up with theme changes.
    setBackgroundRole(systemColorRole(kSystemCaptionText));
    setAutoFillBackground(true);

    buildControls();
}

void AboutWindow::buildControls()
{
    label3_ = makeLabel(this, QStringLiteral("Label3"), kProductName, twipsRect(0, 120, 4290, 480),
                        tahoma(14.25, true));
    setTextColour(label3_, colorFromValue(kBlue, palette()));

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(twipsRect(120, 600, 1560, 1290));
    image1_->setPixmap(QPixmap(QStringLiteral(":/images/accessory.png")));

    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(twipsRect(1800, 480, 2775, 1455));
    frame1_->setFrameStyle(QFrame::Box | QFrame::Sunken); // an etched border, no caption

    const QFont small = tahoma(8.25, false);
    label8_ = makeLabel(frame1_, QStringLiteral("Label8"), kAuthorLine, twipsRect(0, 240, 2775, 195),
                        small);
    setTextColour(label8_, colorFromValue(kBlue, palette()));
    label9_ = makeLabel(frame1_, QStringLiteral("Label9"), kMailAddress,
                        twipsRect(0, 480, 2775, 195), small);
    label10_ = makeLabel(frame1_, QStringLiteral("Label10"), kWebHost, twipsRect(0, 720, 2745, 195),
                         small);
    label11_ = makeLabel(frame1_, QStringLiteral("Label11"), noticeLine(),
                         twipsRect(0, 1200, 2685, 165), tahoma(6.75, false));

    // Every pointer move over a link or over the frame's own area counts,
    // buttons held or not. Moves over the other controls are dropped by Qt,
    // since they do not track the pointer, and so never reach the frame.
    for (QWidget *watched : {static_cast<QWidget *>(label9_), static_cast<QWidget *>(label10_),
                             static_cast<QWidget *>(frame1_)}) {
        watched->setMouseTracking(true);
        watched->installEventFilter(this);
    }
    label9_->setCursor(Qt::PointingHandCursor);
    label10_->setCursor(Qt::PointingHandCursor);
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
    if (watched == label9_ || watched == label10_) {
        if (handleLinkEvent(static_cast<QLabel *>(watched), event))
            return true;
    } else if (watched == frame1_ && event->type() == QEvent::MouseMove) {
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
        const bool clicked =
            pressed_ == link && link->rect().contains(mouse->position().toPoint());
        pressed_ = nullptr;
        if (clicked)
            shell_.open(this, link == label9_ ? QStringLiteral("mailto:") + kMailAddress
                                              : QStringLiteral("http://") + kWebHost);
        return true;
    }
    default:
        return false;
    }
}

void AboutWindow::lightUp(QLabel *link)
{
    setTextColour(link, colorFromValue(kRed, palette()));
    setUnderline(link, true);
}

void AboutWindow::makeLinksPlain()
{
    setTextColour(label9_, colorFromValue(kBlack, palette()));
    setTextColour(label10_, colorFromValue(kBlack, palette()));
    setUnderline(label10_, false);
    setUnderline(label9_, false);
}

void AboutWindow::restoreLinks()
{
    for (QLabel *link : {label9_, label10_}) {
        link->setPalette(QPalette()); // no role of its own: the default label colour again
        setUnderline(link, false);
    }
    pressed_ = nullptr;
}

} // namespace tavlun::ui
