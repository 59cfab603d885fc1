#pragma once

#include <QColor>
#include <QPalette>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace tavlun::ui {

class IndicatorLight;
class TextBox;

// The controls of the main window, created with their start settings.
// Each widget's objectName is the control's name.
struct MainWindowControls {
    // Colour values: red in the lowest byte, then green, then blue.
    static constexpr quint32 kSurface = 0xF7DFD6; // the window and its frames, light blue
    static constexpr quint32 kBlue = 0xFF0000;

    // The connection indicator's fill: blue while connected, the window
    // background system colour otherwise.
    static QColor indicatorColor(bool connected, const QPalette &palette);

    // Creates every control on `window` and sets the window's own size,
    // flags, colours and icon.
    static MainWindowControls create(QWidget &window);

    QGroupBox *Frame1;
    IndicatorLight *Shape1;
    QComboBox *Combo1;
    QPushButton *Command1;
    QGroupBox *Frame2;
    QListWidget *commesaj;
    QGroupBox *Frame3;
    TextBox *Text1;
    QPushButton *Command2;
    QLabel *Label1;
    QLabel *Image1;
};

} // namespace tavlun::ui
