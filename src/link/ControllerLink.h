#pragma once
// Taskloom's conversation with the KZ-7 controller: probing which console mode it is in,
// driving it from any mode into the one an operation needs, catching the boot loader at
// power-on, and the boot-loader memory transfers (send an image to an address, ask for a
// memory range and receive it).
//
// Everything here polls: each wait is a sleep of the link's clock and each read takes only what
// has arrived on its byte channel by then. The real link opens a serial port and sleeps for real;
// tests hand in a channel to a simulated controller and a virtual clock. A link is used by one
// thread at a time; only progress() and cancelBootLoaderWait() may be called from another thread
// while a transfer or capture runs.
//
// Failure in this library: a result struct: ok, the number of the message to show, and the
// detail (which file, which line).

#include "link/ControllerMode.h"
#include "platform/AnswerWait.h"
#include "platform/ByteChannel.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace comm {

// The reply to the mode probe, "***" and then (when that found no menu) "\r": the end of the
// first answer and the start of the second tell the controller's mode.
struct ProbeReplies {
    std::vector<uint8_t> stars; // what "***" brought, at most 256 bytes: judged by its end
    std::vector<uint8_t> cr;    // what "\r" brought, at most 256 bytes: judged by its start
};
struct ProbeVerdict {
    bool ok = false; // false: the answer fits no mode (too short)
    ControllerMode mode = ControllerMode::Unknown;
    int menuEntry = 255;
};
// The menu answers "***" with its highlighted entry (a byte 0..2) as the last byte.
bool starsNameAMenuEntry(const std::vector<uint8_t>& starsReply);
// The mode that the replies show, by the controller link's rule.
ProbeVerdict classifyProbe(const ProbeReplies& replies);

using platform::ChannelOpener;
// The controller link's real channel: a SerialPort.
ChannelOpener serialPortOpener();

// The protocol's waits and idle limits. The defaults are what the controller needs; tests that
// talk to a fake controller answering at once may shorten them.
struct LinkTiming {
    int probeReplyMs = 200;           // after "***" and after "\r" when probing
    int replyPatienceMs = 1000;       // a probe's or command's late answer is waited for this long
    int leaveModeMs = 200;            // after the bytes that leave a mode
    int menuTabMs = 500;              // after each tab in the menu
    int consoleBannerMs = 2000;       // after entering the console, before reading its banner
    int screenPaintMs = 4000;         // after entering the full-screen editor
    int bootBlockMs = 200;            // after each block of '#'
    int commandReplyMs = 200;         // after "\rld", "\rup" and "\rapp"
    int successReplyMs = 300;         // after the last chunk of a download
    int retryPauseMs = 200;           // before another download attempt
    int receivePollMs = 10;           // between reads while receiving
    int receiveIdleBeforeData = 3000; // polls without a byte before the first byte arrives
    int receiveIdleAfterData = 200;   // polls without a byte once data has started
    int powerOnSettleMs = 200;        // after the '#' block of the power-on capture
    // An image is handed to the port no faster than the line carries it (bits per second, ten
    // bits a byte; 0: as fast as the port takes it). A port that queues a whole image at once
    // (a USB adapter, a pseudo-terminal) would otherwise start the wait for the final answer
    // while most of the image is still on its way.
    int lineBaud = 57600;

    // Every wait multiplied by factor (idle poll counts stay as they are).
    LinkTiming scaled(double factor) const;
};

// The probe's exchange on a channel: "***" and its answer, then (when that named no menu entry)
// "\r" and its answer. Each answer is read after probeReplyMs and waited for on while it is
// not whole, up to replyPatienceMs, so that a late answer is not taken for silence. False when
// the channel failed.
bool exchangeProbe(platform::ByteChannel& channel, platform::Clock& clock, const LinkTiming& timing,
                   ProbeReplies& replies);

class ControllerLink {
  public:
    static constexpr int kBaudRate = 57600;
    static constexpr int kVersionCapacity = 128; // a version text holds at most 120 characters
    static constexpr size_t kMinVersionLength = 10;
    static constexpr size_t kMaxVersionLength = 120;
    static constexpr size_t kMinConsoleBanner = 90;
    static constexpr size_t kMinBootBanner = 37;
    static constexpr int kBootBlockAttempts = 20;
    static constexpr size_t kChunkSize = 70;
    static constexpr int kDownloadRetries = 3;   // further attempts when retry is asked for
    static constexpr size_t kReceiveSlack = 256; // a receive buffer holds count + this
    static constexpr const char* kUnknownVersion = "Unknown version";

    ControllerLink();
    explicit ControllerLink(const LinkTiming& timing);
    // A link over other channels and another clock (tests: a simulated controller in-process).
    ControllerLink(const LinkTiming& timing, ChannelOpener opener, platform::Clock& clock);
    ~ControllerLink();
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;

    // Opens the port at 57,600 baud and brings the controller to its menu. On any failure the
    // port is closed again and false is returned.
    bool connect(const std::string& portName);
    // Brings the controller back to its menu when connected (its result is not awaited), then
    // closes the port.
    void disconnect();
    // Opens the port only, without talking to the controller (the power-on capture needs a port
    // on a controller that is still switched off).
    bool openPort(const std::string& portName);
    // Closes the port and leaves the controller where it is (a command that was asked to leave
    // it in a mode).
    void closePort();

    bool probe();
    int currentMode();
    bool goTo(ControllerMode target);
    bool selectMenuEntry(int entry);
    std::string firmwareVersionText();

    // Waits up to seconds for a switched-off controller to be powered, then catches its boot
    // loader. 1: the boot loader answers; 0: failed or timed out; -1: cancelled.
    // armBootLoaderWait() may be called before the capture is started on another thread, so
    // that a cancel issued before the capture's first pass is not lost.
    // listening, when given, runs once the link listens (after it dropped what was queued), so
    // that the user is asked to switch the controller on only when its first bytes cannot be
    // missed.
    int waitForBootLoader(int seconds, const std::function<void()>& listening = {});
    void armBootLoaderWait();
    void cancelBootLoaderWait();

    // Boot-loader transfers. download sends length bytes (the image and its checksum byte) to
    // address; with retry, up to three further attempts follow a failed one.
    bool download(uint32_t address, const uint8_t* data, size_t length, bool retry);
    bool download(uint32_t address, const std::vector<uint8_t>& data, bool retry)
    {
        return download(address, data.data(), data.size(), retry);
    }
    bool requestUpload(uint32_t address, uint32_t length);
    // buffer must hold count + kReceiveSlack bytes: the last read may bring up to 255 more.
    // When it gives up (nothing came, or the data stopped, or stop was set from another
    // thread), it sends ESC to cancel a wait for START still running in the boot loader and
    // tries to bring the controller to its menu.
    bool receive(uint8_t* buffer, size_t count, const std::atomic<bool>* stop = nullptr);
    // Sizes buffer for the transfer and trims it to count on success.
    bool receive(std::vector<uint8_t>& buffer, size_t count, const std::atomic<bool>* stop = nullptr);

    // Pass-throughs to the port.
    bool write(const void* data, size_t count);
    bool write(const std::string& text) { return write(text.data(), text.size()); }
    bool read(void* buffer, size_t maxCount, size_t* got);
    bool purgeInput();
    int bytesWaiting();
    bool isPortOpen() const { return port_->isOpen(); }

    bool isConnected() const { return connected_; }
    // The last probe got no answer at all (taken as Running: a playing program does not answer,
    // but neither does a controller that is switched off or not connected).
    bool probeWasSilent() const { return probeSilent_; }
    int mode() const { return mode_; }
    int menuEntry() const { return menuEntry_; }
    const char* firmwareVersion() const { return firmwareVersion_; }
    const char* bootLoaderVersion() const { return bootLoaderVersion_; }
    // 0..100 of the transfer that runs; safe to read from any thread.
    int progress() const { return progress_.load(std::memory_order_relaxed); }
    // Back to 0 before a transfer is started on another thread, so that whoever polls it never
    // sees the end of the previous transfer as the progress of the next one.
    void resetProgress() { setProgress(0); }

    // Called on the transferring thread after each chunk of a download has gone out, with the
    // chunk's size and the progress it brought (for logs and traces; may be empty).
    using ChunkObserver = std::function<void(size_t chunkBytes, int progress)>;
    void setChunkObserver(ChunkObserver observer) { chunkObserver_ = std::move(observer); }

    platform::ByteChannel& port() { return *port_; }
    platform::Clock& clock() { return clock_; }
    void sleepMs(int ms) const;
    const LinkTiming& timing() const { return timing_; }
    void setTiming(const LinkTiming& timing) { timing_ = timing; }

  private:
    enum BootWait : int { BootWaitIdle = 0, BootWaitArmed = 1, BootWaitCancelled = 2 };

    bool leaveCurrentMode();
    // Sleeps until `bytes` handed to the port since startUs have had time to cross the line.
    void waitForLine(int64_t startUs, size_t bytes);
    // Highlights a menu entry and presses Enter on it.
    bool openMenuEntry(int entry);
    bool enterConsole();
    bool enterScreen();
    bool enterBootLoader();
    bool downloadAttempt(uint32_t address, const uint8_t* data, size_t length);
    bool readReply(std::vector<uint8_t>& reply, size_t maxCount);
    // Reads the reply to a command after firstMs, and on while it is not the one expected (a
    // late one), until the line goes quiet or the probe's patience runs out. True when it is.
    bool awaitReply(int firstMs, std::vector<uint8_t>& reply, const platform::AnswerComplete& expected);
    void setProgress(int value) { progress_.store(value, std::memory_order_relaxed); }

    LinkTiming timing_;
    // Written by the job that connects, read by the window that shows the link's state meanwhile.
    std::atomic<bool> connected_ = false;
    ChannelOpener opener_;
    platform::Clock& clock_;
    std::unique_ptr<platform::ByteChannel> port_;
    int mode_ = modeValue(ControllerMode::Unknown);
    int menuEntry_ = 255;
    bool probeSilent_ = false;
    char firmwareVersion_[kVersionCapacity] = {};
    char bootLoaderVersion_[kVersionCapacity] = {};
    std::atomic<int> progress_{0};
    std::atomic<int> bootWait_{BootWaitIdle};
    ChunkObserver chunkObserver_;
};

// The text between the first open and the first close after it, when its length lies within
// the version limits; empty when there is none.
std::string versionBetween(const uint8_t* data, size_t size, char open, char close);

} // namespace comm
