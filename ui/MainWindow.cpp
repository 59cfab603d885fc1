#include "MainWindow.h"

#include "AboutWindow.h"
#include "ExactTitle.h"
#include "IndicatorLight.h"
#include "PortList.h"
#include "ScratchpadWatch.h"
#include "TextBox.h"
#include "ui/layout/MainWindowLayout.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace tavlun::ui {

namespace look = layout::mainwindow;

MainWindow::MainWindow(DesktopShell &shell, QWidget *parent)
    : QWidget(parent),
      shell_(shell),
      ui_(MainWindowControls::create(*this)),
      updates_(*ui_.trafficLog, *ui_.prompt, *ui_.textBox)
{
    connect(ui_.portList, &QComboBox::activated, this, &MainWindow::portPicked);
    connect(ui_.portList, &PortList::aboutToOpen, this, &MainWindow::portListOpening);
    connect(ui_.disconnectButton, &QPushButton::clicked, this, &MainWindow::disconnectClicked);
    connect(ui_.aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);

    setWindowTitle(qt(look::versionedCaption()));
    QGuiApplication::setApplicationDisplayName(windowTitle());
    keepWindowTitlesExact();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    scratchpad_ = std::make_unique<ScratchpadWatch>(*this);
    connect(scratchpad_.get(), &ScratchpadWatch::hiddenChanged, this, &MainWindow::normalStateChanged);
}

MainWindow::~MainWindow() = default;

// The window always closes (a close event comes accepted).
void MainWindow::closeEvent(QCloseEvent *)
{
    emit closing();
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        emit normalStateChanged();
}

void MainWindow::showAbout()
{
    // Shown application-modal without an owner window; the window resets
    // itself to its start state at every showing.
    if (!aboutWindow_)
        aboutWindow_ = std::make_unique<AboutWindow>(shell_);
    aboutWindow_->exec();
}

bool MainWindow::isPortListOpen() const
{
    return ui_.portList->isPopupShown();
}

bool MainWindow::isNormalState() const
{
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        && !scratchpad_->isHidden();
}

void MainWindow::addPortEntry(const std::string &text, int number, const std::string &device)
{
    ui_.portList->addItem(qt(text), number);
    if (!device.empty())
        ui_.portList->setItemData(ui_.portList->count() - 1, qt(device), Qt::ToolTipRole);
}

void MainWindow::removePortEntry(int index)
{
    ui_.portList->removeItem(index);
}

int MainWindow::selectedPortNumber() const
{
    return ui_.portList->currentData().toInt();
}

void MainWindow::selectPortEntry(int number)
{
    if (const int index = ui_.portList->findData(number); index >= 0)
        ui_.portList->setCurrentIndex(index);
}

void MainWindow::setPortListEnabled(bool enabled)
{
    ui_.portList->setEnabled(enabled);
}

void MainWindow::setDisconnectEnabled(bool enabled)
{
    ui_.disconnectButton->setEnabled(enabled);
}

void MainWindow::setConnectedIndicator(bool connected)
{
    ui_.connectionIndicator->setFillColor(MainWindowControls::indicatorColor(connected, palette()));
}

bool MainWindow::confirmConnect()
{
    QMessageBox box(QMessageBox::Question, qt(look::kConnectTitle), qt(look::kConnectQuestion),
                    QMessageBox::Yes | QMessageBox::No, this);
    // Return answers Yes whatever order the platform lays the buttons out in.
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::reportConnectFailure(const std::string &reason)
{
    // The box keeps its fixed text and title; the cause goes below them, into
    // the port list's help (refreshed by the probe that follows) and to
    // standard error.
    notices_.connectFailed(reason);
    QMessageBox box(QMessageBox::Question, qt(look::kFailureTitle), qt(look::kFailureText), QMessageBox::Ok,
                    this);
    box.setInformativeText(qt(reason));
    // The cause can be selected and copied, to quote it or look it up.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

void MainWindow::reportDeviceLost(const std::string &device, bool reconnects)
{
    // What arrived before the loss stays in the window; then the prompt
    // returns to its start, as a disconnect makes it.
    updates_.flush();
    notices_.deviceLost(device, reconnects);
    ui_.prompt->setText(qt(look::kPrompt.text));
}

void MainWindow::showKeptDeviceAwaited(bool awaited)
{
    // After what the link said before; the link says nothing while nothing is connected.
    updates_.flush();
    ui_.prompt->setText(qt(awaited ? look::kAwaitedDevicePrompt : look::kPrompt.text));
}

void MainWindow::probeFinished(int listed, const std::vector<core::UnlistedPort> &unlisted)
{
    // The list is filled from empty: with its placeholder text shown, it
    // leaves nothing picked.
    ui_.portList->setToolTip(qt(notices_.probeFinished(listed, unlisted)));
}

void MainWindow::clearSession()
{
    updates_.discard();
    ui_.textBox->clear();
    ui_.trafficLog->clear();
    ui_.prompt->setText(qt(look::kPrompt.text));
}

} // namespace tavlun::ui
