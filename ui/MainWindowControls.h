#pragma once

#include <QColor>
#include <QPalette>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace tavlun::ui {

class IndicatorLight;
class PortList;
class TextBox;

// The controls of the main window, created with their start settings from
// the window's layout. Each widget's objectName is its member's name.
struct MainWindowControls {
    // The connection indicator's fill: blue while connected, the window
    // background system colour otherwise.
    static QColor indicatorColor(bool connected, const QPalette &palette);

    // Creates every control on `window` and sets the window's own size,
    // flags, colours and icon.
    static MainWindowControls create(QWidget &window);

    QGroupBox *portFrame;
    IndicatorLight *connectionIndicator;
    PortList *portList;
    QPushButton *disconnectButton;
    QGroupBox *trafficFrame;
    QListWidget *trafficLog;
    QGroupBox *keyboardFrame;
    TextBox *textBox; // where decoded characters go while the window is shown
    QPushButton *aboutButton;
    QLabel *prompt; // the status prompt
    QLabel *accessoryPicture;
};

} // namespace tavlun::ui
