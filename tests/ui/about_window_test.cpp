// The about window as the user sees and uses it: its picture plain and with
// a link lit, the links lighting up under the pointer, clicks opening them.
#include "support/GoldenImage.h"
#include "ui/AboutWindow.h"
#include "ui/DesktopShell.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWindow>

#include <gtest/gtest.h>

using namespace tavlun::ui;

namespace {

struct RecordingShell final : DesktopShell {
    QStringList targets;
    void open(QWidget *parent, const QString &target) override { EXPECT_NE(parent, nullptr); targets << target; }
    void notify(const QString &, const QString &) override {}
};

// Default text and caption-text colours that are neither black nor white
// nor red show which one the window used where; set before it is made.
const QColor kStart(20, 90, 40);
struct TestPalette {
    QPalette saved = QApplication::palette();
    TestPalette()
    {
        QPalette palette = saved;
        palette.setColor(QPalette::WindowText, kStart);
        palette.setColor(QPalette::HighlightedText, QColor(250, 246, 230));
        QApplication::setPalette(palette);
    }
    ~TestPalette() { QApplication::setPalette(saved); }
};

class AboutWindowTest : public ::testing::Test {
protected:
    // Pointer events as the window system sends them, so that Qt itself
    // finds the control under the pointer.
    void send(QEvent::Type type, Qt::MouseButton button = Qt::NoButton)
    {
        QMouseEvent event(type, QPointF(at_), QPointF(window.mapToGlobal(at_)), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.windowHandle(), &event);
    }
    void moveTo(const QWidget *widget, QPoint local)
    {
        at_ = widget->mapTo(&window, local);
        send(QEvent::MouseMove);
    }
    void click(const QWidget *widget, Qt::MouseButton button = Qt::LeftButton)
    {
        moveTo(widget, widget->rect().center());
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            send(type, button);
    }

    // "lit" (red, underlined), "plain" (black) or "start" (the palette's).
    static QString lookOf(const QLabel *label)
    {
        const QColor colour = label->palette().color(QPalette::WindowText);
        const QString look = colour == Qt::red ? "lit" : colour == Qt::black ? "plain" : colour == kStart ? "start" : colour.name();
        return label->font().underline() == (colour == Qt::red) ? look : look + " underlined wrongly";
    }
    QString looks() { return lookOf(mail) + u'/' + lookOf(web); }

    TestPalette palette_;
    RecordingShell shell;
    AboutWindow window{shell};
    QLabel *mail = window.findChild<QLabel *>("mailLink"), *web = window.findChild<QLabel *>("webLink");
    QWidget *frame = window.findChild<QWidget *>("linkFrame");
    QPoint at_;
};

TEST_F(AboutWindowTest, LinksLightUpUnderThePointerOnlyAClickOpensThemAndEveryShowingStartsPlainAndCentred)
{
    for (const QLabel *link : {mail, web})
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << link->objectName().toStdString();
    window.show();
    EXPECT_TRUE(tavlun::test::looksLike(window.grab().toImage(), QStringLiteral("about-window")));
    moveTo(mail, {20, 6});
    EXPECT_TRUE(tavlun::test::looksLike(window.grab().toImage(), QStringLiteral("about-window-lit")));
    moveTo(frame, {90, 46}); // between the links
    EXPECT_EQ(looks(), "plain/plain");
    moveTo(web, {90, 6});
    EXPECT_EQ(looks(), "plain/lit");

    click(mail);
    click(web);
    click(mail, Qt::RightButton);
    // Pressed on one link, released over the other.
    moveTo(mail, {20, 6});
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    moveTo(web, {20, 6});
    send(QEvent::MouseButtonRelease, Qt::LeftButton);
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &press);
    }
    EXPECT_TRUE(window.isVisible()) << "only the close button closes the window";
    EXPECT_EQ(looks(), "lit/lit") << "moved from one link straight to the other";
    EXPECT_EQ(shell.targets, (QStringList{"mailto:tavlun@example.org", "http://www.example.org"}));
    window.close();
    window.move(0, 0); // where the user left it
    window.show();
    EXPECT_EQ(looks(), "start/start");
    EXPECT_LE((window.frameGeometry().center() - window.screen()->availableGeometry().center()).manhattanLength(), 2);
}

} // namespace
