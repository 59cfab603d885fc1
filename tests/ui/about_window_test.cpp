#include "ui/AboutWindow.h"
#include "ui/DesktopShell.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <vector>

using namespace tavlun::ui;

// Readable failure messages for Qt's strings.
void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '{' << list.join(QStringLiteral(", ")).toStdString() << '}';
}

namespace {

// ---------------------------------------------------------------------------
// The about window

class RecordingShell final : public DesktopShell {
public:
    struct Request {
        QWidget *parent;
        QString target;
    };
    std::vector<Request> requests;

    void open(QWidget *parent, const QString &target) override
    {
        requests.push_back({parent, target});
    }
    QStringList targets() const
    {
        QStringList list;
        std::ranges::transform(requests, std::back_inserter(list), &Request::target);
        return list;
    }
};

// The look of a link: its text colour and underline.
struct Look {
    QColor colour;
    bool underlined = false;
    bool operator==(const Look &) const = default;
};

void PrintTo(const Look &look, std::ostream *os)
{
    *os << look.colour.name().toStdString() << (look.underlined ? " underlined" : " not underlined");
}

Look lookOf(const QLabel *label)
{
    return {label->palette().color(QPalette::WindowText), label->font().underline()};
}

const Look kLit{QColor(255, 0, 0), true};
const Look kPlain{QColor(0, 0, 0), false};

// Sends the pointer events that the window system would send to the window,
// so that Qt itself finds the control under the pointer.
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
    // A double click as the widget sees it: press, release, double click,
    // release. (The window's second press, which Qt marks as part of the
    // double click and keeps from widgets, cannot be marked by a test.)
    void doubleClick(QWidget *widget)
    {
        const QPoint local = widget->rect().center();
        moveTo(widget, local);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)),
                              Qt::LeftButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &event);
        }
    }

private:
    void send(QEvent::Type type, Qt::MouseButton button)
    {
        const QPointF local(at_);
        QMouseEvent event(type, local, QPointF(window_.mapToGlobal(at_)), button, held_,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(window_.windowHandle(), &event);
    }

    QWidget &window_;
    QPoint at_;
    Qt::MouseButtons held_;
};

class AboutWindowTest : public ::testing::Test {
protected:
    // A palette whose default text and caption-text colours are neither black
    // nor white, so that the window shows which one it used.
    void SetUp() override
    {
        savedPalette_ = QApplication::palette();
        QPalette palette = savedPalette_;
        palette.setColor(QPalette::WindowText, defaultText);
        palette.setColor(QPalette::HighlightedText, captionText);
        QApplication::setPalette(palette);
        window = std::make_unique<AboutWindow>(shell);
    }
    void TearDown() override
    {
        window.reset();
        QApplication::setPalette(savedPalette_);
    }

    template <class T = QLabel>
    T *control(const char *name)
    {
        auto *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }

    Look startLook() const { return {defaultText, false}; }

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

    const QColor defaultText{20, 90, 40};
    const QColor captionText{250, 246, 230};
    RecordingShell shell;
    std::unique_ptr<AboutWindow> window;

private:
    QPalette savedPalette_;
};

// Twips as the layout gives them, in pixels at 15 twips to a pixel.
QRect fromTwips(int left, int top, int width, int height)
{
    for (int twips : {left, top, width, height})
        EXPECT_EQ(twips % 15, 0) << twips << " twips is no whole number of pixels";
    return {left / 15, top / 15, width / 15, height / 15};
}

TEST_F(AboutWindowTest, IsAFixedToolWindowCalledHakkinda)
{
    EXPECT_EQ(window->objectName(), QStringLiteral("hakkinda"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Hakkında"));
    EXPECT_EQ(window->windowType(), Qt::Tool) << "a tool window has no task-bar entry";
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::CustomizeWindowHint))
        << "without it the platform adds its own buttons";
    EXPECT_EQ(window->size(), fromTwips(0, 0, 4680, 1995).size());
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user cannot resize it";
    EXPECT_FALSE(window->isSizeGripEnabled());
}

TEST_F(AboutWindowTest, ControlsFollowTheLayout)
{
    struct Expected {
        const char *name;
        const char *parent;
        QRect geometry;
    };
    const Expected table[] = {
        {"Label3", "hakkinda", fromTwips(0, 120, 4290, 480)},
        {"Image1", "hakkinda", fromTwips(120, 600, 1560, 1290)},
        {"Frame1", "hakkinda", fromTwips(1800, 480, 2775, 1455)},
        {"Label8", "Frame1", fromTwips(0, 240, 2775, 195)},
        {"Label9", "Frame1", fromTwips(0, 480, 2775, 195)},
        {"Label10", "Frame1", fromTwips(0, 720, 2745, 195)},
        {"Label11", "Frame1", fromTwips(0, 1200, 2685, 165)},
    };
    for (const Expected &expected : table) {
        SCOPED_TRACE(expected.name);
        auto *widget = control<QWidget>(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), expected.geometry);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(expected.parent));
    }

    auto *image = control("Image1");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixmap().size(), QSize(104, 86)) << "the picture of the accessory";

    auto *frame = control<QFrame>("Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(frame->frameShape(), QFrame::NoFrame);
}

TEST_F(AboutWindowTest, LabelsShowTheirTextsInTheirFontsAndColours)
{
    const QColor blue(0, 0, 255);
    struct Expected {
        const char *name;
        QString text;
        qreal points;
        bool bold;
        QColor colour;
    };
    const Expected table[] = {
        {"Label3", QStringLiteral("Tavlun"), 14.25, true, blue},
        {"Label8", QStringLiteral("Tavlun geliştiricileri"), 8.25, false, blue},
        {"Label9", QStringLiteral("tavlun@example.org"), 8.25, false, defaultText},
        {"Label10", QStringLiteral("www.example.org"), 8.25, false, defaultText},
        {"Label11", QStringLiteral("Sürüm 1.0.4 · Aralık 2026"), 6.75, false, defaultText},
    };
    for (const Expected &expected : table) {
        SCOPED_TRACE(expected.name);
        auto *label = control(expected.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), expected.text);
        EXPECT_EQ(label->font().family(), QStringLiteral("Tahoma"));
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), expected.points);
        EXPECT_EQ(label->font().bold(), expected.bold);
        EXPECT_FALSE(label->font().underline());
        EXPECT_EQ(label->palette().color(label->foregroundRole()), expected.colour);
        EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    }
    for (const char *link : {"Label9", "Label10"})
        EXPECT_EQ(control(link)->cursor().shape(), Qt::PointingHandCursor) << link;
}

TEST_F(AboutWindowTest, BackgroundIsTheCaptionTextColourAndLabelsLetItThrough)
{
    window->show();
    const QImage image = window->grab().toImage();
    ASSERT_EQ(image.size(), QSize(312, 133));
    // Points that no text covers: the window's own area, the margin of the
    // product name's label, the frame between its labels.
    const QPoint points[] = {{2, 130}, {3, 20}, {120 + 90, 32 + 70}};
    for (QPoint point : points)
        EXPECT_EQ(image.pixelColor(point), captionText) << point.x() << "," << point.y();
}

// The longest run of pixels in one row of `area` for which `match` holds.
int longestRun(const QImage &image, const QRect &area, const std::function<bool(QColor)> &match)
{
    int longest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        int run = 0;
        for (int x = area.left(); x <= area.right(); ++x) {
            run = match(image.pixelColor(x, y)) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    return longest;
}

TEST_F(AboutWindowTest, LinksLightUpUnderThePointerAndTheFrameMakesThemPlain)
{
    window->show();
    Pointer pointer(*window);
    auto *frame = control<QFrame>("Frame1");
    auto *mail = control("Label9");
    auto *web = control("Label10");
    ASSERT_TRUE(frame && mail && web);
    EXPECT_EQ(lookOf(mail), startLook());
    EXPECT_EQ(lookOf(web), startLook());

    pointer.moveTo(mail, {20, 6});
    EXPECT_EQ(lookOf(mail), kLit);
    EXPECT_EQ(lookOf(web), startLook());

    // Down to the web address, across the frame's strip between the two
    // (45 twips, 3 pixels, below the mail label's 195 twips).
    pointer.moveTo(frame, {90, (480 + 195) / 15 + 1});
    EXPECT_EQ(lookOf(mail), kPlain);
    EXPECT_EQ(lookOf(web), kPlain);
    pointer.moveTo(web, {90, 6});
    EXPECT_EQ(lookOf(web), kLit);
    EXPECT_EQ(lookOf(mail), kPlain);

    // Sideways out of the frame onto the window: still lit.
    pointer.moveToWindowPoint({1800 / 15 - 4, web->mapTo(window.get(), QPoint(0, 6)).y()});
    EXPECT_EQ(lookOf(web), kLit);
    // Over the author line or the notice line: those labels are no part of
    // the frame's own area.
    pointer.moveTo(control("Label8"), {90, 6});
    pointer.moveTo(control("Label11"), {90, 5});
    EXPECT_EQ(lookOf(web), kLit);
    // The frame's own area right of the shorter web label.
    pointer.moveTo(frame, {web->width() + 1, web->y() + 6});
    EXPECT_EQ(lookOf(web), kPlain);

    // A quick move from one link to the other that misses the strip.
    pointer.moveTo(mail, {40, 6});
    pointer.moveTo(web, {40, 6});
    EXPECT_EQ(lookOf(mail), kLit);
    EXPECT_EQ(lookOf(web), kLit);
}

TEST_F(AboutWindowTest, ALitLinkIsDrawnRedAndUnderlined)
{
    window->show();
    auto *mail = control("Label9");
    const QRect area(mail->mapTo(window.get(), QPoint(0, 0)), mail->size());
    const int textWidth = QFontMetrics(mail->font()).horizontalAdvance(mail->text());
    auto red = [](QColor c) { return c.red() > 180 && c.green() < 110 && c.blue() < 110; };
    auto dark = [](QColor c) { return c.red() < 110 && c.green() < 110 && c.blue() < 110; };

    EXPECT_EQ(longestRun(window->grab().toImage(), area, red), 0);
    Pointer pointer(*window);
    pointer.moveTo(mail, {20, 6});
    EXPECT_GT(longestRun(window->grab().toImage(), area, red), textWidth * 3 / 4)
        << "the underline spans the text, " << textWidth << " pixels";
    pointer.moveTo(control<QFrame>("Frame1"), {90, 70});
    const QImage plain = window->grab().toImage();
    EXPECT_EQ(longestRun(plain, area, red), 0);
    EXPECT_GT(longestRun(plain, area, dark), 0) << "the text is drawn black";
    EXPECT_LT(longestRun(plain, area, dark), textWidth / 2) << "and no longer underlined";
}

TEST_F(AboutWindowTest, EachClickOpensItsTargetOnce)
{
    window->show();
    Pointer pointer(*window);
    auto *mail = control("Label9");
    auto *web = control("Label10");

    pointer.click(mail);
    pointer.click(web);
    EXPECT_EQ(shell.targets(), (QStringList{QStringLiteral("mailto:tavlun@example.org"),
                                            QStringLiteral("http://www.example.org")}));
    for (const auto &request : shell.requests)
        EXPECT_EQ(request.parent, window.get()) << "the about window asks the shell";
    EXPECT_TRUE(window->isVisible()) << "a click leaves the window open";

    shell.requests.clear();
    pointer.doubleClick(web);
    EXPECT_EQ(shell.targets(), QStringList{QStringLiteral("http://www.example.org")})
        << "a double click is one click";

    shell.requests.clear();
    pointer.click(mail, Qt::RightButton);
    // Pressed on one link, released over the other: no click.
    pointer.moveTo(mail, {20, 6});
    pointer.press();
    pointer.moveTo(web, {20, 6});
    pointer.release();
    // Released over the frame.
    pointer.moveTo(web, {20, 6});
    pointer.press();
    pointer.moveTo(control<QFrame>("Frame1"), {90, 70});
    pointer.release();
    EXPECT_TRUE(shell.targets().isEmpty()) << shell.targets().join(u' ').toStdString();
}

TEST_F(AboutWindowTest, EveryModalShowingStartsPlainAndCentred)
{
    Pointer pointer(*window);
    auto *mail = control("Label9");
    auto *web = control("Label10");

    runModal([&] {
        EXPECT_EQ(QApplication::activeModalWidget(), window.get());
        pointer.moveTo(mail, {20, 6});
        pointer.click(web);
        EXPECT_EQ(lookOf(mail), kLit);
        EXPECT_EQ(lookOf(web), kLit);
        EXPECT_EQ(QApplication::activeModalWidget(), window.get()) << "still modal after a click";
    });
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(shell.targets(), QStringList{QStringLiteral("http://www.example.org")});

    runModal([&] {
        EXPECT_EQ(lookOf(mail), startLook());
        EXPECT_EQ(lookOf(web), startLook());
        const QPoint centre = window->screen()->availableGeometry().center();
        EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 2);
    });

    // A showing that ends with the links made plain (black) starts afresh too.
    runModal([&] {
        pointer.moveTo(mail, {20, 6});
        pointer.moveTo(control<QFrame>("Frame1"), {90, 70});
        EXPECT_EQ(lookOf(mail), kPlain);
    });
    window->show();
    EXPECT_EQ(lookOf(mail), startLook());
    EXPECT_EQ(lookOf(web), startLook());
}

TEST_F(AboutWindowTest, NoControlTakesTheFocusAndEscapeDoesNotClose)
{
    const auto children = window->findChildren<QWidget *>();
    ASSERT_EQ(children.size(), 7);
    for (const QWidget *child : children)
        EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->objectName().toStdString();

    window->show();
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Tab}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &press);
    }
    EXPECT_TRUE(window->isVisible()) << "only the close button closes the window";
    EXPECT_TRUE(shell.requests.empty());
    window->close();
    EXPECT_FALSE(window->isVisible());
}

} // namespace
