#pragma once

#include "LinkAdapters.h"
#include "MainWindowControls.h"
#include "PortHelp.h"
#include "link/CommandIntake.h"
#include "link/KeyTable.h"
#include "link/OutputDelivery.h"
#include "serial/PortConnection.h"

#include <QWidget>

#include <memory>

namespace tavlun::serial {
class PortMap;
class SerialPort;
}

namespace tavlun::ui {

class AboutWindow;
class DesktopShell;

// The main window: port list, connection indicator, disconnect button,
// traffic log, text box and status prompt. It wires the controls to the
// accessory link and the port connection, which hold the logic.
class MainWindow final : public QWidget, private serial::ConnectionView {
    Q_OBJECT

public:
    static inline const QString kIdlePrompt = QStringLiteral(" Port Seçip cihazı bağlayın...");

    // Runs the start-up sequence: key table, caption and application title,
    // port probe, empty receive buffer.
    MainWindow(serial::SerialPort &port, serial::PortMap *map, link::KeyInjector &injector,
               DesktopShell &shell, QWidget *parent = nullptr);
    ~MainWindow() override;

    link::CommandIntake &intake() { return intake_; }
    serial::PortConnection &connection() { return connection_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showAbout();

    // serial::ConnectionView
    void addPortEntry(const QString &text, const QString &devicePath) override;
    void removePortEntry(int index) override;
    QString selectedPortEntry() const override;
    void setPortListEnabled(bool enabled) override;
    void setDisconnectEnabled(bool enabled) override;
    void setConnectedIndicator(bool connected) override;
    bool confirmConnect() override;
    void reportConnectFailure(const QString &reason) override;
    void reportDeviceLost(const QString &device) override;
    void clearSession() override;
    void probeFinished() override;

    serial::SerialPort &port_;
    DesktopShell &shell_;

    MainWindowControls ui_;
    link::KeyTable TusTablosu;
    ListTrafficLog log_;
    LabelPrompt prompt_;
    TextBoxTarget target_;
    link::OutputDelivery delivery_;
    link::CommandIntake intake_;
    serial::PortConnection connection_;
    std::unique_ptr<AboutWindow> hakkinda;
    QString lastFailure_; // the latest failed connection or lost device, said in the help
    UnlistedPortLog unlistedLog_;
};

} // namespace tavlun::ui
