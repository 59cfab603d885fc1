#include "support/GoldenImage.h"
#include "ui/AboutWindow.h"
#include "ui/DesktopShell.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

using namespace tavlun::ui;
using tavlun::test::looksLike;

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class RecordingShell final : public DesktopShell {
public:
    QStringList targets;
    QList<QWidget *> parents;

    void open(QWidget *parent, const QString &target) override
    {
        targets << target;
        parents << parent;
    }
};

// Sends the pointer events that the window system would send, so that Qt
// itself finds the control under the pointer.
class Pointer {
public:
    explicit Pointer(QWidget &window) : window_(window) {}

    void moveTo(const QWidget *widget, QPoint local) { moveToWindowPoint(widget->mapTo(&window_, local)); }
    void moveToWindowPoint(QPoint at)
    {
        at_ = at;
        send(QEvent::MouseMove, Qt::NoButton);
    }
    void press(Qt::MouseButton button = Qt::LeftButton)
    {
        held_ |= button;
        send(QEvent::MouseButtonPress, button);
    }
    void release(Qt::MouseButton button = Qt::LeftButton)
    {
        held_ &= ~Qt::MouseButtons(button);
        send(QEvent::MouseButtonRelease, button);
    }
    void click(const QWidget *widget, Qt::MouseButton button = Qt::LeftButton)
    {
        moveTo(widget, widget->rect().center());
        press(button);
        release(button);
    }

private:
    void send(QEvent::Type type, Qt::MouseButton button)
    {
        QMouseEvent event(type, QPointF(at_), QPointF(window_.mapToGlobal(at_)), button, held_,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(window_.windowHandle(), &event);
    }

    QWidget &window_;
    QPoint at_;
    Qt::MouseButtons held_;
};

class AboutWindowTest : public ::testing::Test {
protected:
    // Default text and caption-text colours that are neither black nor
    // white, so that the window shows which one it used where.
    void SetUp() override
    {
        saved_ = QApplication::palette();
        QPalette palette = saved_;
        palette.setColor(QPalette::WindowText, QColor(20, 90, 40));
        palette.setColor(QPalette::HighlightedText, QColor(250, 246, 230));
        QApplication::setPalette(palette);
        window = std::make_unique<AboutWindow>(shell);
    }
    void TearDown() override
    {
        window.reset();
        QApplication::setPalette(saved_);
    }

    QLabel *label(const char *name)
    {
        auto *found = window->findChild<QLabel *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }
    QWidget *frame() { return window->findChild<QWidget *>(QStringLiteral("Frame1")); }

    // "lit" (red, underlined), "plain" (black) or "start" (the palette's text).
    static QString lookOf(const QLabel *label)
    {
        const QColor colour = label->palette().color(QPalette::WindowText);
        const bool underlined = label->font().underline();
        if (colour == QColor(255, 0, 0) && underlined)
            return QStringLiteral("lit");
        if (underlined)
            return QStringLiteral("underlined ") + colour.name();
        if (colour == QColor(0, 0, 0))
            return QStringLiteral("plain");
        if (colour == QApplication::palette().color(QPalette::WindowText))
            return QStringLiteral("start");
        return colour.name();
    }
    QString looks() { return lookOf(label("Label9")) + u'/' + lookOf(label("Label10")); }

    // Shows the window modally and runs `body` inside its modal loop, then
    // closes it; gives up with a failure after a deadline.
    void runModal(const std::function<void()> &body)
    {
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, window.get(), [this] {
            ADD_FAILURE() << "the modal loop did not end in time";
            window->done(QDialog::Rejected);
        });
        deadline.start(10000);
        QTimer::singleShot(0, window.get(), [this, &body] {
            body();
            window->close();
        });
        window->exec();
        deadline.stop();
    }

    RecordingShell shell;
    std::unique_ptr<AboutWindow> window;

private:
    QPalette saved_;
};

// Layout, texts, fonts, colours and the picture, as the user sees them,
// plain and with the pointer over the mail address.
TEST_F(AboutWindowTest, LooksAsDesignedPlainAndLit)
{
    EXPECT_EQ(window->windowType(), Qt::Tool) << "a tool window has no task-bar entry";
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user cannot resize it";
    window->show();
    EXPECT_TRUE(looksLike(window->grab().toImage(), QStringLiteral("about-window")));
    Pointer(*window).moveTo(label("Label9"), {20, 6});
    EXPECT_TRUE(looksLike(window->grab().toImage(), QStringLiteral("about-window-lit")));
}

TEST_F(AboutWindowTest, LinksLightUpUnderThePointerAndTheFrameMakesThemPlain)
{
    window->show();
    Pointer pointer(*window);
    QLabel *mail = label("Label9");
    QLabel *web = label("Label10");
    ASSERT_TRUE(mail && web && frame());
    struct Step {
        const char *where;
        std::function<void()> move;
        const char *expected; // mail/web
    };
    const Step steps[] = {
        {"nowhere yet", [] {}, "start/start"},
        {"over the mail address", [&] { pointer.moveTo(mail, {20, 6}); }, "lit/start"},
        // The frame's strip between the two links (3 pixels below the mail label).
        {"the frame between the links", [&] { pointer.moveTo(frame(), {90, 46}); }, "plain/plain"},
        {"over the web address", [&] { pointer.moveTo(web, {90, 6}); }, "plain/lit"},
        {"sideways out of the frame onto the window",
         [&] { pointer.moveToWindowPoint({116, web->mapTo(window.get(), QPoint(0, 6)).y()}); },
         "plain/lit"},
        {"over the author and the notice lines", [&] {
             pointer.moveTo(label("Label8"), {90, 6});
             pointer.moveTo(label("Label11"), {90, 5});
         }, "plain/lit"},
        {"the frame right of the shorter web label",
         [&] { pointer.moveTo(frame(), {web->width() + 1, web->y() + 6}); }, "plain/plain"},
        {"a quick move from one link to the other missing the strip", [&] {
             pointer.moveTo(mail, {40, 6});
             pointer.moveTo(web, {40, 6});
         }, "lit/lit"},
    };
    for (const Step &step : steps) {
        step.move();
        EXPECT_EQ(looks(), QString::fromLatin1(step.expected)) << "after: " << step.where;
    }
}

TEST_F(AboutWindowTest, EachClickOpensItsTargetOnceAndOnlyAClickDoes)
{
    window->show();
    Pointer pointer(*window);
    QLabel *mail = label("Label9");
    QLabel *web = label("Label10");
    pointer.click(mail);
    pointer.click(web);
    EXPECT_EQ(shell.targets, (QStringList{QStringLiteral("mailto:tavlun@example.org"),
                                          QStringLiteral("http://www.example.org")}));
    EXPECT_EQ(shell.parents, (QList<QWidget *>{window.get(), window.get()}));
    EXPECT_TRUE(window->isVisible()) << "a click leaves the window open";

    shell.targets.clear();
    pointer.click(mail, Qt::RightButton);
    // Pressed on one link, released over the other, or over the frame.
    pointer.moveTo(mail, {20, 6});
    pointer.press();
    pointer.moveTo(web, {20, 6});
    pointer.release();
    pointer.press();
    pointer.moveTo(frame(), {90, 70});
    pointer.release();
    // Keys do nothing: no control takes the focus, Escape does not close.
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_Tab}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &press);
    }
    EXPECT_EQ(shell.targets, QStringList());
    EXPECT_TRUE(window->isVisible()) << "only the close button closes the window";
}

TEST_F(AboutWindowTest, EveryModalShowingStartsPlainAndCentred)
{
    Pointer pointer(*window);
    runModal([&] {
        EXPECT_EQ(QApplication::activeModalWidget(), window.get());
        pointer.moveTo(label("Label9"), {20, 6});
        pointer.click(label("Label10"));
        EXPECT_EQ(looks(), QStringLiteral("lit/lit"));
    });
    EXPECT_FALSE(window->isVisible());
    runModal([&] {
        EXPECT_EQ(looks(), QStringLiteral("start/start"));
        const QPoint centre = window->screen()->availableGeometry().center();
        EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 2);
        pointer.moveTo(label("Label9"), {20, 6});
        pointer.moveTo(frame(), {90, 70});
    });
    window->show();
    EXPECT_EQ(looks(), QStringLiteral("start/start")) << "a showing that ended plain starts afresh";
}

} // namespace
