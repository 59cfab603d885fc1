#include "support/FakeSerialPort.h"
#include "support/Recorders.h"
#include "ui/DesktopShell.h"
#include "ui/IndicatorLight.h"
#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

using namespace tavlun;

namespace {

class NoShell final : public ui::DesktopShell {
public:
    void open(QWidget *, const QString &) override {}
};

struct Control {
    const char *name;
    const char *parent; // "main" for the window itself
    int left, top, width, height; // twips
};

// The controls' places in twips, relative to their container.
const Control kControls[] = {
    {"Frame1", "main", 120, 120, 1575, 1455},
    {"Shape1", "Frame1", 120, 360, 255, 255},
    {"Combo1", "Frame1", 480, 360, 975, 315},
    {"Command1", "Frame1", 120, 840, 1335, 375},
    {"Frame2", "main", 1800, 120, 5055, 3375},
    {"commesaj", "Frame2", 120, 240, 4815, 2985},
    {"Frame3", "main", 120, 3600, 6735, 1695},
    {"Text1", "Frame3", 120, 240, 6495, 1335},
    {"Command2", "main", 120, 3120, 1575, 255},
    {"Label1", "main", 120, 5400, 6735, 255},
    {"Image1", "main", 120, 1680, 1560, 1290},
};

class Layout : public ::testing::Test {
protected:
    Layout() : window(port, nullptr, injector, shell) {}

    template <typename T = QWidget>
    T *child(const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }

    test::FakeSerialPort port;
    test::RecordingInjector injector;
    NoShell shell;
    ui::MainWindow window;
};

TEST_F(Layout, WindowIsFixedLightBlueAndCannotBeMaximised)
{
    EXPECT_EQ(window.objectName(), QStringLiteral("main"));
    EXPECT_EQ(window.size(), QSize(460, 381)) << "6900 x 5715 twips";
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the user cannot resize it";
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(214, 223, 247));
    for (int size : {16, 32, 48})
        EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(size, size))) << size;
}

TEST_F(Layout, ControlsStandWhereTheTableSays)
{
    for (const Control &c : kControls) {
        QWidget *widget = child(c.name);
        ASSERT_TRUE(widget) << c.name << " is missing";
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(c.parent)) << c.name;
        EXPECT_EQ(widget->geometry(), QRect(c.left / 15, c.top / 15, c.width / 15, c.height / 15))
            << c.name;
    }
}

TEST_F(Layout, TextsAtStart)
{
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), QStringLiteral("Seri Port Ayar"));
    EXPECT_EQ(child<QGroupBox>("Frame2")->title(), QStringLiteral("Seri Port Data"));
    EXPECT_EQ(child<QGroupBox>("Frame3")->title(), QStringLiteral("Klavye"));
    EXPECT_EQ(child<QAbstractButton>("Command1")->text(), QStringLiteral("Bağlantıyı Kes"));
    EXPECT_EQ(child<QAbstractButton>("Command1")->toolTip(),
              QStringLiteral("Bağlantıyı kesmek için tıklayın"));
    EXPECT_EQ(child<QAbstractButton>("Command2")->text(), QStringLiteral("Hakkında"));
    EXPECT_EQ(child<QLabel>("Label1")->text(), QStringLiteral(" Port Seçip cihazı bağlayın..."));
    EXPECT_EQ(child<QComboBox>("Combo1")->placeholderText(), QStringLiteral("Port Seçin"));
    EXPECT_FALSE(child<QComboBox>("Combo1")->isEditable());
    EXPECT_TRUE(child<QPlainTextEdit>("Text1")->toPlainText().isEmpty());
    const QPixmap picture = child<QLabel>("Image1")->pixmap();
    EXPECT_EQ(picture.size(), QSize(104, 86));
}

TEST_F(Layout, FontsAndColours)
{
    const QFont text = child<QWidget>("Text1")->font();
    EXPECT_EQ(text.family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(text.pointSizeF(), 12.0);
    EXPECT_TRUE(text.bold());

    const QFont label = child<QWidget>("Label1")->font();
    EXPECT_EQ(label.family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(label.pointSizeF(), 8.25);
    EXPECT_TRUE(label.bold());
    EXPECT_EQ(child<QWidget>("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 255));

    const QFont log = child<QWidget>("commesaj")->font();
    EXPECT_EQ(log.pointSize(), 9);
    EXPECT_FALSE(log.bold());
    const QFontMetrics metrics(log);
    EXPECT_EQ(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'))
        << "the log is set in a fixed-pitch face, got " << QFontInfo(log).family().toStdString();

    EXPECT_EQ(child<QWidget>("Frame3")->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(child<ui::IndicatorLight>("Shape1")->fillColor(),
              window.palette().color(QPalette::Base));

    const QCursor hand = child<QWidget>("Command1")->cursor();
    EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
    EXPECT_EQ(hand.hotSpot(), QPoint(12, 1));
    EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
}

TEST_F(Layout, TabOrderSkipsDisabledControlsAndPassiveOnes)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QWidget *combo = child("Combo1");
    combo->setFocus();
    QStringList order;
    QWidget *w = combo;
    for (int i = 0; i < 5; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (w && (!w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus)))
            w = w->nextInFocusChain();
        ASSERT_TRUE(w);
    }
    EXPECT_EQ(order, (QStringList{QStringLiteral("Combo1"), QStringLiteral("commesaj"),
                                  QStringLiteral("Text1"), QStringLiteral("Command2"),
                                  QStringLiteral("Combo1")}))
        << "Command1 is disabled until connected";

    child("Command1")->setEnabled(true);
    EXPECT_EQ(combo->nextInFocusChain()->objectName(), QStringLiteral("Command1"));
}

} // namespace
