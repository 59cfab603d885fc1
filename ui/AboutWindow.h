#pragma once

#include <QDialog>

class QFrame;
class QLabel;

namespace tavlun::ui {

class DesktopShell;

// The about window: the product name, a picture of the accessory, an author
// line, two links (the e-mail and the web address) and a notice line. The
// links light up under the pointer, go plain again when the pointer moves
// over the frame around them, and open in the desktop shell when clicked.
//
// One instance serves every showing. The main window creates it on first use
// and shows it modally with exec(); each showing, however it is started,
// begins with both links plain in the default label colour, as a newly built
// window would. Each control's objectName is its member's name.
class AboutWindow final : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(DesktopShell &shell, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void centreOnScreen();

    void lightUp(QLabel *link);
    void makeLinksPlain();
    void restoreLinks();
    bool handleLinkEvent(QLabel *link, QEvent *event);

    DesktopShell &shell_;
    QFrame *linkFrame_ = nullptr;
    QLabel *mailLink_ = nullptr;
    QLabel *webLink_ = nullptr;
    // The link that the left button went down on, for the click that its
    // release completes.
    QLabel *pressed_ = nullptr;
};

} // namespace tavlun::ui
