#include "MainWindow.h"

#include "AboutWindow.h"
#include "ExactTitle.h"
#include "IndicatorLight.h"
#include "PortHelp.h"
#include "serial/SerialPort.h"
#include "tavlun/version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include "TextBox.h"
#include <QPushButton>
#include <QScreen>

namespace tavlun::ui {

namespace {

// The message boxes break their line with a line feed, then a carriage return.
const QString kConnectQuestion = QStringLiteral("Seçilen Port Üzerinden\n\rBağlanmak İstiyormusunuz");
const QString kConnectTitle = QStringLiteral("Port Aç");
const QString kBusyText = QStringLiteral("Seçilen Port Meşgul veya \n\r Bağlantı Kurulmuyor...");
const QString kBusyTitle = QStringLiteral("Port Hata...");

} // namespace

MainWindow::MainWindow(serial::SerialPort &port, serial::PortMap *map, link::KeyInjector &injector,
                       DesktopShell &shell, QWidget *parent)
    : QWidget(parent),
      port_(port),
      shell_(shell),
      ui_(MainWindowControls::create(*this)),
      log_(*ui_.commesaj),
      prompt_(*ui_.Label1),
      target_(*this, *ui_.Text1),
      delivery_(target_, injector),
      intake_(port, TusTablosu, log_, prompt_, delivery_),
      connection_(port, *this, map)
{
    connect(&port_, &serial::SerialPort::commEvent, this, [this] { intake_.onPortEvent(); });
    // Queued: the port reports a lost device from inside its own error
    // handling, where it must not be closed.
    connect(&port_, &serial::SerialPort::deviceLost, this, [this] { connection_.deviceLost(); },
            Qt::QueuedConnection);
    connect(ui_.Combo1, &QComboBox::activated, this, [this] { connection_.portPicked(); });
    connect(ui_.Command1, &QPushButton::clicked, this, [this] { connection_.disconnectClicked(); });
    connect(ui_.Command2, &QPushButton::clicked, this, &MainWindow::showAbout);
    connection_.onConnected = [this] { intake_.clearBuffer(); };

    // Start-up sequence.
    TusTablosu.TusTablosuKur();
    setWindowTitle(windowTitle() + QStringLiteral("    Ver. %1.%2.%3")
                                       .arg(kVersionMajor)
                                       .arg(kVersionMinor)
                                       .arg(kVersionPatch));
    QGuiApplication::setApplicationDisplayName(windowTitle());
    keepWindowTitlesExact();
    connection_.PortTara();
    ui_.Combo1->setCurrentIndex(-1);
    intake_.clearBuffer();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() = default;

void MainWindow::closeEvent(QCloseEvent *event)
{
    connection_.unload();
    event->accept();
}

void MainWindow::showAbout()
{
    // Shown application-modal without an owner window; the window resets
    // itself to its start state at every showing.
    if (!hakkinda)
        hakkinda = std::make_unique<AboutWindow>(shell_);
    hakkinda->exec();
}

void MainWindow::addPortEntry(const QString &text, const QString &devicePath)
{
    ui_.Combo1->addItem(text);
    if (!devicePath.isEmpty())
        ui_.Combo1->setItemData(ui_.Combo1->count() - 1, devicePath, Qt::ToolTipRole);
}

void MainWindow::removePortEntry(int index)
{
    ui_.Combo1->removeItem(index);
}

QString MainWindow::selectedPortEntry() const
{
    return ui_.Combo1->currentIndex() >= 0 ? ui_.Combo1->currentText() : QString();
}

void MainWindow::setPortListEnabled(bool enabled)
{
    ui_.Combo1->setEnabled(enabled);
    if (enabled)
        ui_.Combo1->setCurrentIndex(-1);
}

void MainWindow::setDisconnectEnabled(bool enabled)
{
    ui_.Command1->setEnabled(enabled);
}

void MainWindow::setConnectedIndicator(bool connected)
{
    ui_.Shape1->setFillColor(MainWindowControls::indicatorColor(connected, palette()));
}

bool MainWindow::confirmConnect()
{
    QMessageBox box(QMessageBox::Question, kConnectTitle, kConnectQuestion,
                    QMessageBox::Yes | QMessageBox::No, this);
    // Return answers Yes whatever order the platform lays the buttons out in.
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::reportConnectFailure(const QString &reason)
{
    // The box keeps its fixed text and title; the cause goes below them, into
    // the port list's help (refreshed by the probe that follows) and to
    // standard error.
    lastFailure_ = QStringLiteral("Son bağlantı hatası: ") + reason;
    tellUser(QStringLiteral("bağlantı kurulamadı: ") + reason);
    QMessageBox box(QMessageBox::Question, kBusyTitle, kBusyText, QMessageBox::Ok, this);
    box.setInformativeText(reason);
    // The cause can be selected and copied, to quote it or look it up.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

void MainWindow::reportDeviceLost(const QString &device)
{
    lastFailure_ = serial::deviceLostText(device);
    tellUser(lastFailure_);
    unlistedLog_.markLost(device);
    ui_.Label1->setText(kIdlePrompt);
}

void MainWindow::probeFinished()
{
    unlistedLog_.report(connection_.unlistedPorts());
    ui_.Combo1->setToolTip(
        portListHelp(connection_.portCount(), connection_.unlistedPorts(), lastFailure_));
}

void MainWindow::clearSession()
{
    ui_.Text1->clear();
    ui_.commesaj->clear();
    ui_.Label1->setText(kIdlePrompt);
}

} // namespace tavlun::ui
