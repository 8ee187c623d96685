#pragma once
// Wirescope's main window: the terminal view, the menus, a two-part status bar, the keyboard
// mapping, connect/disconnect, file transmission and capture; and beside them copy and paste,
// find, time stamps and the hex view, the log file, and reopening a device that went away.

#include "termcore/LogWriter.h"
#include "termcore/PastePacer.h"
#include "termcore/ReceiveCapture.h"
#include "termcore/ReceiveFormatter.h"
#include "termcore/ReconnectRule.h"
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
class QLineEdit;
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

    // Copy, paste, find (context menu and the "&Edit" menu).
    void copySelection();
    void paste();
    bool pasting() const { return pacer_.active(); }
    // Shows the find bar; with takeFocus the field gets the keys, else the terminal keeps them.
    void openFind(const QString& text = {}, bool takeFocus = true);
    void closeFind();
    void findNext() { findStep(true); }
    void findPrevious() { findStep(false); }
    QLineEdit* findEdit() const { return findEdit_; }
    QString findStatus() const;

    // The "&View" menu: time stamps per received line, hex view of received bytes.
    void setTimestamps(bool on);
    void setHexView(bool on);
    const termcore::ReceiveFormatter& formatter() const { return formatter_; }

    // The log file beside the screen ("&Log to file..."); sent bytes too when chosen.
    bool startLog(const std::string& path);
    void stopLog();
    void setLogSent(bool on);
    const termcore::LogWriter& log() const { return log_; }

    // The device went away and is waited for; the text beside the file status.
    bool waitingForDevice() const { return returning_.armed(); }
    QString deviceText() const;

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
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

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
    void deviceLost(bool afterWrite);
    void tryReturn();
    void showReceived(const uint8_t* bytes, size_t count);
    void logBytes(const void* data, size_t count, bool sent);
    void pasteTick();
    void findStep(bool forward);
    void showContextMenu(const QPoint& at);
    void buildFindBar(QWidget* parent);

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

    termcore::ReceiveFormatter formatter_;
    std::string formatted_;
    termcore::LogWriter log_;
    std::atomic<bool> logSent_{false}; // read by the file sender's thread too
    termcore::PastePacer pacer_;
    termcore::ReconnectRule returning_;
    termcore::PortResolution openedAs_;

    QLabel* status_[2] = {nullptr, nullptr};
    QLabel* deviceLabel_ = nullptr;
    QWidget* statusFirst_ = nullptr;
    QWidget* findBar_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QLabel* findLabel_ = nullptr;
    QTimer* pasteTimer_ = nullptr;
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
    QAction* logAction_ = nullptr;
    QAction* logSentAction_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* paste_ = nullptr;
    QAction* find_ = nullptr;
    QAction* findNext_ = nullptr;
    QAction* findPrevious_ = nullptr;
    QAction* timestamps_ = nullptr;
    QAction* hexView_ = nullptr;
};

} // namespace terminal
