#include "ExactTitle.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace tavlun::ui {

namespace {

// QWidget sends Show just before it shows the native window and
// ShowToParent just after: the display name is empty in between.
class ExactTitles final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        const bool showing = type == QEvent::Show || type == QEvent::ShowToParent;
        const auto *widget = showing ? qobject_cast<QWidget *>(watched) : nullptr;
        if (widget && widget->isWindow() && type == QEvent::Show) {
            setAside();
            if (QWindow *window = widget->windowHandle())
                window->setTitle(widget->windowTitle()); // formatted again, without the name
        } else if (widget && widget->isWindow()) {
            restore();
        }
        return false; // it only watches
    }

private:
    void setAside()
    {
        if (asideDepth_++ > 0)
            return;
        saved_ = QGuiApplication::applicationDisplayName();
        QGuiApplication::setApplicationDisplayName(QString());
    }

    void restore()
    {
        if (asideDepth_ == 0 || --asideDepth_ > 0)
            return;
        // Setting a name equal to the application name would store it as a
        // display name of its own; leaving it empty appends nothing either.
        if (saved_ != QCoreApplication::applicationName())
            QGuiApplication::setApplicationDisplayName(saved_);
    }

    int asideDepth_ = 0;
    QString saved_;
};

} // namespace

void keepWindowTitlesExact()
{
    static QPointer<ExactTitles> filter;
    if (filter || !qApp)
        return;
    filter = new ExactTitles(qApp);
    qApp->installEventFilter(filter);
}

} // namespace tavlun::ui
