#pragma once

#include "Gdi.h"
#include "IndicatorLight.h"
#include "Picture.h"
#include "PortList.h"
#include "core/LinkEvents.h"
#include "core/OutputDelivery.h"
#include "core/PortConnection.h"
#include "core/PortHelp.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavlun::ui::windows {

// The main window on Win32: port list, connection indicator, disconnect
// button, traffic log, text box and status prompt, laid out from the
// window's layout at the monitor's dots per inch. It shows what it is told
// (the port connection at once, the traffic log and the prompt at its next
// frame) and reports what the user does through its handlers.
class MainWindow final : public core::ConnectionView, public core::DeliveryTarget, public core::LinkView {
public:
    // Each runs on the window's thread.
    struct Handlers {
        std::function<void()> portPicked;        // the user picked an entry of the port list
        std::function<void()> portListOpening;   // the user is opening the port list
        std::function<void()> disconnectClicked; // the user clicked the disconnect button
        std::function<void()> closing;           // the window is closing
        std::function<void()> devicesChanged;    // the system's devices changed
        std::function<void()> linkEventsWaiting; // postLinkEvents() was called
        std::function<void()> deviceLost;        // postDeviceLost() was called
    };

    // The controls, by what they do.
    struct Controls {
        HWND portFrame, disconnectButton, trafficFrame, trafficLog, keyboardFrame, textBox, aboutButton, prompt;
    };

    // Creates the window, hidden, with the versioned caption.
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
    HWND handle() const { return window_; }
    // Shows the window, centred on its monitor.
    void show(int command);
    // Runs the window's messages until it has been closed.
    int run();

    // Any thread: the link's events wait, the device is lost.
    void postLinkEvents();
    void postDeviceLost();

    // core::LinkView: shown at the next frame.
    void addLogEntry(std::string_view text) override;
    void setPrompt(std::string_view text) override;
    // Shows everything pending now.
    void flushUpdates();
    bool isPortListOpen() const { return portList_.isOpen(); }
    // The ports beyond the probed ones, after them in the list.
    void setFurtherPorts(std::vector<PortEntry> entries) { portList_.setFurther(std::move(entries)); }

    const Controls &controls() const { return controls_; }
    const PortList &portList() const { return portList_; }
    bool indicatorConnected() const { return indicator_.connected(); }
    int dpi() const { return dpi_; }
    // Lays the window out for `dpi` dots per inch, keeping its top left.
    void applyDpi(int dpi);

    // core::DeliveryTarget
    bool isNormalState() const override;
    void focusTextBox() override;
    void appendToTextBox(std::string_view text) override;
    void backspaceInTextBox() override;

    // core::ConnectionView
    void addPortEntry(const std::string &text, int number, const std::string &device) override;
    void removePortEntry(int index) override { portList_.removeProbed(index); }
    int selectedPortNumber() const override { return portList_.selectedNumber(); }
    void selectPortEntry(int number) override { portList_.selectNumber(number); }
    void setPortListEnabled(bool enabled) override { EnableWindow(portList_.handle(), enabled); }
    void setDisconnectEnabled(bool enabled) override { EnableWindow(controls_.disconnectButton, enabled); }
    void setConnectedIndicator(bool connected) override { indicator_.setConnected(connected); }
    bool confirmConnect() override;
    void reportConnectFailure(const std::string &reason) override;
    void reportDeviceLost(const std::string &device, bool reconnects) override;
    void showKeptDeviceAwaited(bool awaited) override;
    void clearSession() override;
    void probeFinished(int listed, const std::vector<core::UnlistedPort> &unlisted) override;

    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void createControls();
    void command(int id, int code);
    LRESULT colourStatic(HDC dc, HWND control);
    bool pointerOverDisconnect() const;
    void paint();
    void showAbout();
    // Shows the pending updates at the next frame.
    void scheduleFrame();
    static void call(const std::function<void()> &handler);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    Handlers handlers_;
    Controls controls_{};
    PortList portList_;
    IndicatorLight indicator_;
    Picture accessory_;
    HCURSOR hand_;
    Brush background_;
    Font defaultFont_, logFont_, textBoxFont_, promptFont_;
    int dpi_ = 96;
    HWND focus_ = nullptr; // the control to give the focus back to when the window is activated
    bool pickPosted_ = false;
    bool framePending_ = false; // the frame's timer runs

    std::vector<std::wstring> pendingLog_;
    std::optional<std::wstring> pendingPrompt_;
    core::PortNotices notices_; // on standard error and in the port list's help
};

} // namespace tavlun::ui::windows
