#include "MainWindow.h"

#include "AboutWindow.h"
#include "ExactTitle.h"
#include "IndicatorLight.h"
#include "PortHelp.h"
#include "PortList.h"
#include "TextBox.h"
#include "tavlun/version.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
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

MainWindow::MainWindow(DesktopShell &shell, QWidget *parent)
    : QWidget(parent),
      shell_(shell),
      ui_(MainWindowControls::create(*this)),
      updates_(*ui_.commesaj, *ui_.Label1, *ui_.Text1)
{
    connect(ui_.Combo1, &QComboBox::activated, this, &MainWindow::portPicked);
    connect(ui_.Combo1, &PortList::aboutToOpen, this, &MainWindow::portListOpening);
    connect(ui_.Command1, &QPushButton::clicked, this, &MainWindow::disconnectClicked);
    connect(ui_.Command2, &QPushButton::clicked, this, &MainWindow::showAbout);

    setWindowTitle(windowTitle() + QStringLiteral("    Ver. %1.%2.%3")
                                       .arg(kVersionMajor)
                                       .arg(kVersionMinor)
                                       .arg(kVersionPatch));
    QGuiApplication::setApplicationDisplayName(windowTitle());
    keepWindowTitlesExact();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() = default;

// The window always closes (a close event comes accepted).
void MainWindow::closeEvent(QCloseEvent *)
{
    emit closing();
}

void MainWindow::showAbout()
{
    // Shown application-modal without an owner window; the window resets
    // itself to its start state at every showing.
    if (!hakkinda)
        hakkinda = std::make_unique<AboutWindow>(shell_);
    hakkinda->exec();
}

bool MainWindow::isPortListOpen() const
{
    return ui_.Combo1->isPopupShown();
}

bool MainWindow::isNormalState() const
{
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void MainWindow::addPortEntry(const QString &text, int number, const QString &devicePath)
{
    ui_.Combo1->addItem(text, number);
    if (!devicePath.isEmpty())
        ui_.Combo1->setItemData(ui_.Combo1->count() - 1, devicePath, Qt::ToolTipRole);
}

void MainWindow::removePortEntry(int index)
{
    ui_.Combo1->removeItem(index);
}

int MainWindow::selectedPortNumber() const
{
    return ui_.Combo1->currentData().toInt();
}

void MainWindow::setPortListEnabled(bool enabled)
{
    ui_.Combo1->setEnabled(enabled);
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
    // What arrived before the loss stays in the window; then the prompt
    // returns to its start, as a disconnect makes it.
    updates_.flush();
    lastFailure_ = serial::deviceLostText(device);
    tellUser(lastFailure_);
    unlistedLog_.markLost(device);
    ui_.Label1->setText(MainWindowControls::kIdlePrompt);
}

void MainWindow::probeFinished(int listed, const QList<UnlistedPort> &unlisted)
{
    // The list is filled from empty: with its placeholder text shown, it
    // leaves nothing picked.
    unlistedLog_.report(unlisted);
    ui_.Combo1->setToolTip(portListHelp(listed, unlisted, lastFailure_));
}

void MainWindow::clearSession()
{
    updates_.discard();
    ui_.Text1->clear();
    ui_.commesaj->clear();
    ui_.Label1->setText(MainWindowControls::kIdlePrompt);
}

} // namespace tavlun::ui
