#pragma once

#include "MainWindowControls.h"
#include "PendingUpdates.h"
#include "PortConnection.h"
#include "PortHelp.h"
#include "link/OutputDelivery.h"

#include <QWidget>

#include <memory>

namespace tavlun::ui {

class AboutWindow;
class DesktopShell;

// The main window `main`: port list, connection indicator, disconnect
// button, traffic log, text box and status prompt. It shows what it is told
// (by the port connection and the receive flow, the latter a frame later at
// most) and reports what the user does.
class MainWindow final : public QWidget, public ConnectionView, public link::DeliveryTarget {
    Q_OBJECT

public:
    // Sets the caption and the application title.
    explicit MainWindow(DesktopShell &shell, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The traffic log and the prompt, as the receive flow asks.
    void addLogEntry(const QString &text) { updates_.addLogEntry(text); }
    void setPrompt(const QString &text) { updates_.setPrompt(text); }
    // True while the port list's drop-down is open.
    bool isPortListOpen() const;
    // Applies every pending update now.
    void flushUpdates() { updates_.flush(); }
    // Updates at the next frame, taking in what waits elsewhere.
    void scheduleUpdates() { updates_.schedule(); }
    // Called before every update, to take in what waits elsewhere.
    void setUpdateSource(std::function<void()> source) { updates_.setSource(std::move(source)); }

    // link::DeliveryTarget
    bool isNormalState() const override;
    void focusTextBox() override { updates_.focusTextBox(); }
    void appendToTextBox(const QString &text) override { updates_.appendText(text); }
    void backspaceInTextBox() override { updates_.backspace(); }

    // ConnectionView
    void addPortEntry(const QString &text, int number, const QString &devicePath) override;
    void removePortEntry(int index) override;
    int selectedPortNumber() const override;
    void setPortListEnabled(bool enabled) override;
    void setDisconnectEnabled(bool enabled) override;
    void setConnectedIndicator(bool connected) override;
    bool confirmConnect() override;
    void reportConnectFailure(const QString &reason) override;
    void reportDeviceLost(const QString &device) override;
    void clearSession() override;
    void probeFinished(int listed, const QList<UnlistedPort> &unlisted) override;

signals:
    // The user picked an entry of the port list.
    void portPicked();
    // The user is opening the port list.
    void portListOpening();
    // The user clicked `Command1`, the disconnect button.
    void disconnectClicked();
    // The window is closing (unload).
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showAbout();

    DesktopShell &shell_;
    MainWindowControls ui_;
    PendingUpdates updates_;
    std::unique_ptr<AboutWindow> hakkinda; // the about window, made on first use
    QString lastFailure_; // the latest failed connection or lost device, said in the help
    UnlistedPortLog unlistedLog_;
};

} // namespace tavlun::ui
