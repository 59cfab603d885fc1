#include "MainWindowControls.h"

#include "IndicatorLight.h"
#include "PortConnection.h"
#include "PortList.h"
#include "TextBox.h"
#include "Twips.h"

#include <QCursor>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

namespace tavlun::ui {

namespace {

template <typename T, typename Parent>
T *place(Parent *parent, const char16_t *name, int left, int top, int width, int height)
{
    auto *widget = new T(parent);
    widget->setObjectName(QString::fromUtf16(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

QGroupBox *frame(QWidget *parent, const char16_t *name, const char16_t *title, int left, int top,
                 int width, int height)
{
    auto *box = place<QGroupBox>(parent, name, left, top, width, height);
    box->setTitle(QString::fromUtf16(title));
    return box;
}

} // namespace

QColor MainWindowControls::indicatorColor(bool connected, const QPalette &palette)
{
    return colorFromValue(connected ? kBlue : kSystemWindowBackground, palette);
}

MainWindowControls MainWindowControls::create(QWidget &window)
{
    window.setObjectName(QStringLiteral("main"));
    window.setWindowTitle(QStringLiteral("Tavlun"));
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint);
    window.setFixedSize(twipsToPixels(6900), twipsToPixels(5715));
    QPalette surface = window.palette();
    surface.setColor(QPalette::Window, colorFromValue(kSurface, surface));
    window.setPalette(surface);
    window.setAutoFillBackground(true);
    // The default font of the frames, the buttons and the port list.
    window.setFont(tahoma(8, false));
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/images/tavlun-%1.png").arg(size), QSize(size, size));
    window.setWindowIcon(icon);

    MainWindowControls c{};
    c.Frame1 = frame(&window, u"Frame1", u"Seri Port Ayar", 120, 120, 1575, 1455);
    c.Shape1 = place<IndicatorLight>(c.Frame1, u"Shape1", 120, 360, 255, 255);
    c.Shape1->setFillColor(indicatorColor(false, window.palette()));

    c.Combo1 = place<PortList>(c.Frame1, u"Combo1", 480, 360, 975, 315);
    c.Combo1->setPlaceholderText(QStringLiteral("Port Seçin"));
    QStringList shown{c.Combo1->placeholderText()};
    for (int number = 1; number <= PortConnection::kHighestPort; ++number)
        shown << PortConnection::kEntryPrefix + QString::number(number);
    c.Combo1->fitFontTo(shown);

    c.Command1 = place<QPushButton>(c.Frame1, u"Command1", 120, 840, 1335, 375);
    c.Command1->setText(QStringLiteral("Bağlantıyı Kes"));
    c.Command1->setEnabled(false);
    c.Command1->setCursor(QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 12, 1));
    c.Command1->setToolTip(QStringLiteral("Bağlantıyı kesmek için tıklayın"));

    c.Frame2 = frame(&window, u"Frame2", u"Seri Port Data", 1800, 120, 5055, 3375);
    c.commesaj = place<QListWidget>(c.Frame2, u"commesaj", 120, 240, 4815, 2985);
    QFont fixed(QStringLiteral("Fixedsys"));
    fixed.setStyleHint(QFont::TypeWriter); // where Fixedsys is missing: the system's monospace font
    fixed.setPointSize(9);
    c.commesaj->setFont(fixed);
    c.commesaj->setUniformItemSizes(true);

    c.Frame3 = frame(&window, u"Frame3", u"Klavye", 120, 3600, 6735, 1695);
    QPalette frame3 = c.Frame3->palette();
    frame3.setColor(QPalette::WindowText, Qt::black);
    c.Frame3->setPalette(frame3);
    c.Text1 = place<TextBox>(c.Frame3, u"Text1", 120, 240, 6495, 1335);
    c.Text1->setFont(tahoma(12, true));
    c.Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.Text1->setTabChangesFocus(true);

    c.Command2 = place<QPushButton>(&window, u"Command2", 120, 3120, 1575, 255);
    c.Command2->setText(QStringLiteral("Hakkında"));

    c.Label1 = place<QLabel>(&window, u"Label1", 120, 5400, 6735, 255);
    c.Label1->setText(kIdlePrompt);
    c.Label1->setFont(tahoma(8.25, true));
    QPalette blue = c.Label1->palette();
    blue.setColor(QPalette::WindowText, colorFromValue(kBlue, blue));
    c.Label1->setPalette(blue);

    c.Image1 = place<QLabel>(&window, u"Image1", 120, 1680, 1560, 1290);
    c.Image1->setPixmap(QPixmap(QStringLiteral(":/images/accessory.png")));

    // Frames, labels, the picture and the indicator take no focus (Qt's
    // default for them); the rest take it in the order they are made here:
    // the list, the disconnect button, the log, the text box (it wraps at its
    // width, so it never scrolls sideways) and the about button.
    return c;
}

} // namespace tavlun::ui
