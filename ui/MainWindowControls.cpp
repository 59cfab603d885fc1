#include "MainWindowControls.h"

#include "IndicatorLight.h"
#include "PortList.h"
#include "QtLayout.h"
#include "TextBox.h"
#include "core/PortConnection.h"
#include "ui/layout/MainWindowLayout.h"

#include <QCursor>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

namespace tavlun::ui {

namespace {

namespace look = layout::mainwindow;

template <typename T, typename Parent> T *place(Parent *parent, const char *name, layout::Rect rect)
{
    auto *widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(pixels(rect));
    return widget;
}

QGroupBox *frame(QWidget *parent, const char *name, std::string_view title, layout::Rect rect)
{
    auto *box = place<QGroupBox>(parent, name, rect);
    box->setTitle(qt(title));
    return box;
}

void setTextColour(QWidget *widget, std::uint32_t value)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour(value, palette));
    widget->setPalette(palette);
}

} // namespace

QColor MainWindowControls::indicatorColor(bool connected, const QPalette &palette)
{
    return colour(connected ? look::kIndicatorConnected : look::kIndicatorIdle, palette);
}

MainWindowControls MainWindowControls::create(QWidget &window)
{
    window.setObjectName(QStringLiteral("mainWindow"));
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint);
    window.setFixedSize(pixels(look::kClient));
    QPalette surface = window.palette();
    surface.setColor(QPalette::Window, colour(look::kBackground, surface));
    window.setPalette(surface);
    window.setAutoFillBackground(true);
    window.setFont(font(look::kDefaultFont));
    QIcon icon;
    for (int size : look::kIconSizes)
        icon.addFile(QStringLiteral(":/images/tavlun-%1.png").arg(size), QSize(size, size));
    window.setWindowIcon(icon);

    MainWindowControls c{};
    c.portFrame = frame(&window, "portFrame", look::kPortFrameTitle, look::kPortFrame);
    c.connectionIndicator = place<IndicatorLight>(c.portFrame, "connectionIndicator", look::kIndicator);
    c.connectionIndicator->setFillColor(indicatorColor(false, window.palette()));

    c.portList = place<PortList>(c.portFrame, "portList", look::kPortList);
    c.portList->setPlaceholderText(qt(look::kPortListPrompt));
    QStringList shown{c.portList->placeholderText()};
    for (int number = 1; number <= core::PortConnection::kHighestPort; ++number)
        shown << qt(core::PortConnection::kEntryPrefix) + QString::number(number);
    c.portList->fitFontTo(shown);

    c.disconnectButton = place<QPushButton>(c.portFrame, "disconnectButton", look::kDisconnectButton);
    c.disconnectButton->setText(qt(look::kDisconnectText));
    c.disconnectButton->setEnabled(false);
    c.disconnectButton->setCursor(
        QCursor(QPixmap(QStringLiteral(":/images/hand.png")), look::kHandHotSpotX, look::kHandHotSpotY));
    c.disconnectButton->setToolTip(qt(look::kDisconnectTooltip));

    c.trafficFrame = frame(&window, "trafficFrame", look::kTrafficFrameTitle, look::kTrafficFrame);
    c.trafficLog = place<QListWidget>(c.trafficFrame, "trafficLog", look::kTrafficLog);
    c.trafficLog->setFont(font(look::kTrafficLogFont));
    c.trafficLog->setUniformItemSizes(true);

    c.keyboardFrame = frame(&window, "keyboardFrame", look::kKeyboardFrameTitle, look::kKeyboardFrame);
    setTextColour(c.keyboardFrame, look::kKeyboardFrameTitleColour);
    c.textBox = place<TextBox>(c.keyboardFrame, "textBox", look::kTextBox);
    c.textBox->setFont(font(look::kTextBoxFont));
    c.textBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.textBox->setTabChangesFocus(true);

    c.aboutButton = place<QPushButton>(&window, "aboutButton", look::kAboutButton);
    c.aboutButton->setText(qt(look::kAboutText));

    c.prompt = place<QLabel>(&window, "prompt", look::kPrompt.rect);
    c.prompt->setText(qt(look::kPrompt.text));
    c.prompt->setFont(font(look::kPrompt.font));
    setTextColour(c.prompt, look::kPrompt.colour);

    c.accessoryPicture = place<QLabel>(&window, "accessoryPicture", look::kAccessoryPicture);
    c.accessoryPicture->setPixmap(QPixmap(QStringLiteral(":/images/accessory.png")));

    // Frames, labels, the picture and the indicator take no focus (Qt's
    // default for them); the rest take it in the order they are made here:
    // the list, the disconnect button, the log, the text box (it wraps at its
    // width, so it never scrolls sideways) and the about button.
    return c;
}

} // namespace tavlun::ui
