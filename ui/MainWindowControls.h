#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace tavlun::ui {

class IndicatorLight;
class PortList;
class TextBox;

// The controls of the main window, created with their start settings.
// Each widget's objectName is the control's name.
struct MainWindowControls {
    // Colour values: red in the lowest byte, then green, then blue.
    static constexpr quint32 kSurface = 0xF7DFD6; // the window and its frames, light blue

    // The connection indicator's fill: blue while connected, the window
    // background system colour otherwise.
    static QColor indicatorColor(bool connected, const QPalette &palette);

    // Creates every control on `window` and sets the window's own size,
    // flags, colours and icon.
    static MainWindowControls create(QWidget &window);

    // The status prompt's text while no port is connected.
    static inline const QString kIdlePrompt = QStringLiteral(" Port Seçip cihazı bağlayın...");

    QGroupBox *Frame1;     // the "Seri Port Ayar" frame around the port controls
    IndicatorLight *Shape1; // the connection indicator
    PortList *Combo1;      // the port list
    QPushButton *Command1; // the disconnect button
    QGroupBox *Frame2;     // the "Seri Port Data" frame around the log
    QListWidget *commesaj; // the traffic log
    QGroupBox *Frame3;     // the "Klavye" frame around the text box
    TextBox *Text1;        // the text box that decoded characters go into
    QPushButton *Command2; // the button that opens the about window
    QLabel *Label1;        // the status prompt
    QLabel *Image1;        // the picture of the accessory
};

} // namespace tavlun::ui
