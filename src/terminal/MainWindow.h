#pragma once
// Wirescope's main window: a fixed-size window with the terminal view, the menus, a two-part
// status bar, the keyboard mapping, connect/disconnect, file transmission and capture.

#include "termcore/ReceiveCapture.h"
#include "termcore/TerminalConfig.h"
#include "termcore/TerminalScreen.h"
#include "termcore/TransmitJob.h"
#include "terminal/Prompter.h"
#include "terminal/TerminalPort.h"

#include <QMainWindow>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace terminal {

class TerminalView;

struct PortChoice {
    std::string port;
    int baudRate = 0;
};

struct WindowOptions {
    std::string configPath; // empty: TerminalConfig::defaultPath()
    std::string port;       // non-empty: connect to this port at start instead of the saved one
    int baudRate = 0;       // non-zero: with this rate
    bool connectAtStart = true;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kVisibleColumns = 80;
    static constexpr int kVisibleRows = 36;
    static constexpr int kColumns = 80;
    static constexpr int kRows = 1200;

    MainWindow(Prompter& prompter, const WindowOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // False when the screen could not be made (the message has been shown).
    bool initialised() const { return initialised_; }

    // What the "Serial setup" dialog would answer; tests replace it.
    using SetupChooser = std::function<std::optional<PortChoice>(const std::vector<std::string>& ports,
                                                                 const std::string& saved, int savedRate)>;
    void setSetupChooser(SetupChooser chooser) { chooser_ = std::move(chooser); }

    // Menu commands.
    void connectPort();
    bool reconnect();
    void disconnectPort();
    void modifyColor();
    void toggleBytesum();
    void transmit(int entry);
    void receive(int entry);
    void cancelTransmit();
    void stopReceive();
    void clearScreen();
    void recentCommand(int command);

    // State, for the status bar and for tests.
    bool isConnected() const { return port_.isOpen(); }
    bool transmitting() const { return transmitting_; }
    bool receiving() const { return receiving_; }
    QString statusText(int part) const;
    termcore::TerminalConfig& config() { return config_; }
    TerminalView* view() const { return view_; }
    TerminalPort& port() { return port_; }
    QAction* action(const QString& name) const;
    QMenu* recentMenu() const { return recentMenu_; }
    uint64_t sentBytes() const { return job_.sentBytes(); }
    const termcore::TransmitJob& job() const { return job_; }
    const termcore::ReceiveCapture& capture() const { return capture_; }

    // Sends bytes as typed keys would (nothing while a transfer runs or the port is closed).
    void sendText(const std::string& bytes);

    // Reads everything waiting on the port (the data-ready path); public so tests can drive it.
    void drain();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildMenus();
    void rebuildRecentMenu();
    bool openPort(const std::string& name, int baudRate);
    void setConnectedMenus(bool connected);
    void setTransferMenus(bool enabled);
    void refreshStatus();
    void refreshConnectionStatus();
    void layoutStatus();
    void sendKeyBytes(const std::string& bytes);
    void finishTransmit();
    void onTransmitEnded(uint64_t generation);
    void portFailed();
    void applyColours(termcore::Rgb background, termcore::Rgb text);

    Prompter& prompter_;
    termcore::TerminalConfig config_;
    termcore::TerminalScreen screen_;
    TerminalView* view_ = nullptr;
    TerminalPort port_;
    termcore::TransmitJob job_;
    termcore::ReceiveCapture capture_;
    std::atomic<bool> bytesum_{true};
    bool initialised_ = false;
    bool transmitting_ = false;
    bool receiving_ = false;
    int transmitRecentIndex_ = -1;
    uint64_t transmitGeneration_ = 0;
    std::string workingPort_;
    int workingRate_ = 0;
    SetupChooser chooser_;

    QLabel* status_[2] = {nullptr, nullptr};
    QTimer* progressTimer_ = nullptr;
    QTimer* watchdog_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QAction* connect_ = nullptr;
    QAction* disconnect_ = nullptr;
    QAction* color_ = nullptr;
    QAction* bytesumAction_ = nullptr;
    QAction* exit_ = nullptr;
    QAction* transmitAction_ = nullptr;
    QAction* receiveAction_ = nullptr;
    QAction* clear_ = nullptr;
};

} // namespace terminal
