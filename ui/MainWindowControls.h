#pragma once

#include <QColor>

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
    static inline const QColor kSurface{214, 223, 247}; // the window and its frames
    static inline const QColor kConnected{0, 0, 255};

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
