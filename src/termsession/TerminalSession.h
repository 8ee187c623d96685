#pragma once
// Everything Wirescope does without pixels: the port, file transmission and capture, the log
// file, the formatting of received bytes (time stamps, hex view), pasting at the console's
// pace, the send strings, reopening a device that went away, the keys, the status texts and
// the configuration. The window shows what it says and forwards what the user does.
//
// Threads. The session belongs to one thread, its owner's (the window thread): every public
// operation is called there, and so are the Host's display() and changed(). Two other threads
// touch it. The port's watcher only calls Host::post() to have drain() run on the owner's
// thread. The TransmitJob worker writes the file's chunks to the port (the owner writes nothing
// while a transmission runs), logs them when sent bytes are logged (the log takes a lock), and
// at its end calls Host::post() to have the end handled on the owner's thread. Both threads are
// joined before the port closes and before the session goes away.
//
// Failure in this library: a failed action is told to the user through the prompter, in the
// words of the terminal's text table; calls answer bool.

#include "termcore/KeyTable.h"
#include "termcore/LogWriter.h"
#include "termcore/PastePacer.h"
#include "termcore/ReceiveCapture.h"
#include "termcore/ReceiveFormatter.h"
#include "termcore/ReconnectRule.h"
#include "termcore/SessionSettings.h"
#include "termcore/TerminalConfig.h"
#include "termcore/TransmitJob.h"
#include "termport/TerminalPort.h"
#include "termsession/Prompter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace terminal {

class TerminalSession {
  public:
    class Host {
      public:
        virtual ~Host() = default;
        // Runs fn later on the owner's thread; called from any thread.
        virtual void post(std::function<void()> fn) = 0;
        // Received bytes, formatted, for the screen.
        virtual void display(const uint8_t* bytes, size_t count) = 0;
        // The screen's cursor is at the start of a line (time stamps start there).
        virtual bool atLineStart() const = 0;
        // What the status bar and the menus show has changed.
        virtual void changed() = 0;
    };

    TerminalSession(Prompter& prompter, Host& host);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // The configuration file and its side file; save() writes both (atomically).
    void load(const std::string& configPath);
    void save();
    termcore::TerminalConfig& config() { return config_; }
    termcore::SessionSettings& settings() { return settings_; }

    // Opens name at baudRate; on success they become the saved values, on failure the open
    // failure is shown. reconnect() opens the saved port.
    bool connect(const std::string& name, int baudRate);
    bool reconnect();
    void disconnect();

    void transmit(int entry);
    void receive(int entry);
    void cancelTransmit();
    void stopReceive();
    void recentCommand(int command);
    void toggleBytesum();

    // Reads everything waiting on the port (the data-ready path).
    void drain();
    // Every 250 ms: a look at the port, the device waited for and the log.
    void tick();

    // A key the window did not keep for itself; the view's commands (scrolling, scroll lock)
    // come back for the window to carry out.
    termcore::KeyAction key(const termcore::KeyPress& key);
    termcore::KeyState keyState() const;
    // Bytes as typed keys send them (nothing while a transfer runs or the port is closed).
    void sendText(const std::string& bytes);
    // Send string number 1..9.
    void sendString(int number);

    // Pasted text, paced; pasteDueMs() says when pasteTick() wants to run next (-1: never).
    void paste(const std::string& latin1);
    void pasteTick();
    int64_t pasteDueMs() const;
    bool pasting() const { return pacer_.active(); }

    void setTimestamps(bool on);
    void setHexView(bool on);
    const termcore::ReceiveFormatter& formatter() const { return formatter_; }
    bool startLog(const std::string& path);
    void stopLog();
    void setLogSent(bool on);
    void setLogTimestamps(bool on);
    const termcore::LogWriter& log() const { return log_; }

    // State.
    bool isConnected() const { return port_.isOpen(); }
    bool transmitting() const { return transmitting_; }
    bool receiving() const { return receiving_; }
    bool canTransfer() const { return port_.isOpen() && !transmitting_ && !receiving_; }
    bool waitingForDevice() const { return returning_.armed(); }
    TerminalPort& port() { return port_; }
    const termcore::TransmitJob& job() const { return job_; }
    const termcore::ReceiveCapture& capture() const { return capture_; }
    // The status bar: part 0 (file), the device beside it, part 1 (connection).
    std::string fileStatus() const;
    std::string deviceStatus() const;
    std::string connectionStatus() const;

    static int64_t steadyMs();

  private:
    bool openPort(const std::string& name, int baudRate);
    std::string transferPath(int entry, termcore::FileKind kind);
    void deviceLost(bool afterWrite);
    void tryReturn();
    void onTransmitEnded(uint64_t generation);
    void finishTransmit();
    void writeKeys(const std::string& bytes);
    void showReceived(const uint8_t* bytes, size_t count);
    void logBytes(const void* data, size_t count, bool sent);
    TerminalPort::DataReady watcherCallback();

    Prompter& prompter_;
    Host& host_;
    termcore::TerminalConfig config_;
    termcore::SessionSettings settings_;
    std::string settingsPath_;
    TerminalPort port_;
    termcore::TransmitJob job_;
    termcore::ReceiveCapture capture_;
    std::atomic<bool> bytesum_{true};
    bool transmitting_ = false;
    bool receiving_ = false;
    int transmitRecentIndex_ = -1;
    uint64_t transmitGeneration_ = 0;
    std::atomic<uint64_t> wireBytes_{0}; // bytes of the current file the port took
    termcore::ReceiveFormatter formatter_;
    std::string formatted_;
    termcore::LogWriter log_;
    std::atomic<bool> logSent_{false}; // read by the file sender's thread too
    termcore::PastePacer pacer_;
    termcore::ReconnectRule returning_;
    termcore::PortResolution openedAs_;
};

} // namespace terminal
