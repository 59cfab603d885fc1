#pragma once

#include "MainWindowControls.h"
#include "PendingUpdates.h"
#include "QtLayout.h"
#include "core/LinkEvents.h"
#include "core/OutputDelivery.h"
#include "core/PortConnection.h"
#include "core/PortHelp.h"

#include <QWidget>

#include <memory>

namespace tavlun::ui {

class AboutWindow;
class DesktopShell;
class ScratchpadWatch;

// The main window: port list, connection indicator, disconnect button,
// traffic log, text box and status prompt. It shows what it is told (by the
// port connection at once, by the link at its next frame) and reports what
// the user does.
class MainWindow final : public QWidget,
                         public core::ConnectionView,
                         public core::DeliveryTarget,
                         public core::LinkView {
    Q_OBJECT

public:
    // Sets the caption and the application title.
    explicit MainWindow(DesktopShell &shell, QWidget *parent = nullptr);
    ~MainWindow() override;

    // core::LinkView: shown at the next frame.
    void addLogEntry(std::string_view text) override { updates_.addLogEntry(qt(text)); }
    void setPrompt(std::string_view text) override { updates_.setPrompt(qt(text)); }
    // True while the port list's drop-down is open.
    bool isPortListOpen() const;
    // Applies every pending update now.
    void flushUpdates() { updates_.flush(); }
    // Called before every update, to take in what waits elsewhere.
    void setUpdateSource(std::function<void()> source) { updates_.setSource(std::move(source)); }

    // core::DeliveryTarget: false while the window is minimised, maximised,
    // full screen, or hidden in the scratchpad of sway or i3.
    bool isNormalState() const override;
    void focusTextBox() override { updates_.focusTextBox(); }
    void appendToTextBox(std::string_view text) override { updates_.appendText(qt(text)); }
    void backspaceInTextBox() override { updates_.backspace(); }

    // core::ConnectionView
    void addPortEntry(const std::string &text, int number, const std::string &device) override;
    void removePortEntry(int index) override;
    int selectedPortNumber() const override;
    void selectPortEntry(int number) override;
    void setPortListEnabled(bool enabled) override;
    void setDisconnectEnabled(bool enabled) override;
    void setConnectedIndicator(bool connected) override;
    bool confirmConnect() override;
    void reportConnectFailure(const std::string &reason) override;
    void reportDeviceLost(const std::string &device, bool reconnects) override;
    void showKeptDeviceAwaited(bool awaited) override;
    void clearSession() override;
    void probeFinished(int listed, const std::vector<core::UnlistedPort> &unlisted) override;

signals:
    // The user picked an entry of the port list.
    void portPicked();
    // The user is opening the port list.
    void portListOpening();
    // The user clicked the disconnect button.
    void disconnectClicked();
    // The window is closing.
    void closing();
    // isNormalState() may have changed.
    void normalStateChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showAbout();

    DesktopShell &shell_;
    MainWindowControls ui_;
    PendingUpdates updates_;
    std::unique_ptr<AboutWindow> aboutWindow_; // made on first use
    std::unique_ptr<ScratchpadWatch> scratchpad_;
    core::PortNotices notices_; // on standard error and in the port list's help
};

} // namespace tavlun::ui
