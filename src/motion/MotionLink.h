#pragma once
// The motion editor's connection to the controller: brings the controller into its full-screen
// page editor, sends console commands, and decodes the repainted fields into the MotionScreen.
//
// Threads: a reader thread only appends received bytes to the ring; everything else (connect,
// send, tick, disconnect, the events) happens on the owner's thread. tick() is meant for a
// 100 ms timer.
//
// The link talks to a byte channel and waits on a clock. The default link opens the serial
// device and sleeps for real; a link given its own channel opener and clock (a simulated
// controller in-process, a virtual clock) has no reader thread: the owner's calls take in what
// has arrived, so the whole conversation runs on one thread and in the clock's time.
//
// Failure in this library: bool, with the reason in a std::string* error; what the controller
// answers arrives as link events.

#include "motion/ByteRing.h"
#include "motion/LinkEvent.h"
#include "motion/MotionScreen.h"
#include "motion/ScreenDecoder.h"
#include "platform/ByteChannel.h"
#include "platform/Clock.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace motion {

// The menu's answer to "***", as the motion link judges it: the highlighted entry 0..2 when the
// last two of the bytes read are equal and name an entry, else -1. A line that is merely noisy
// does not pass.
int menuEntryFromProbe(const uint8_t* reply, size_t count);

class MotionLink {
  public:
    // Waits of the connect sequence and the sending pace, in milliseconds. The defaults are what
    // the controller needs; tests against a quick peer may shorten them.
    struct Timing {
        int probeWait = 200;      // after "***" and after each wake-up string
        int probePatience = 1000; // a probe's wait ends by then; nothing by then is silence
        int tabWait = 500;        // after each TAB in the menu
        int burstPause = 50;      // after each burst of 0x55
        int pieceGap = 30;        // after each 15-byte piece of a long command
        int readerSleep = 50;     // the reader thread's pace
    };
    static constexpr int kBaudRate = 57600;
    static constexpr int kShortWaitTicks = 15;
    static constexpr int kLongWaitTicks = 50;
    static constexpr int kQuietTicks = 6; // a reply is handled when its count held for 7 ticks
    static constexpr size_t kPieceSize = 15;
    static constexpr size_t kReadChunk = 2048;

    // Message boxes: caption (empty means the application's title) and text. Called on the
    // owner's thread only.
    using MessageHandler = std::function<void(const std::string& caption, const std::string& text)>;

    MotionLink();
    // A link over other channels and another clock; without a reader thread (the usual case for
    // an in-process channel), the owner's calls take in what has arrived.
    MotionLink(platform::ChannelOpener opener, platform::Clock& clock, bool readerThread = false);
    // The serial device on another clock (a test that records the link's waits).
    static platform::ChannelOpener serialDeviceOpener();
    ~MotionLink();
    MotionLink(const MotionLink&) = delete;
    MotionLink& operator=(const MotionLink&) = delete;

    void setEventHandler(LinkEventHandler handler);
    void setMessageHandler(MessageHandler handler) { messages_ = std::move(handler); }
    void setTiming(const Timing& timing) { timing_ = timing; }

    // Opens the port (a COM name or a device path), finds the controller's menu from whatever
    // mode it is in and starts its full-screen page editor. Blocks for the probes (0.2 s to
    // several seconds). On failure the port is closed again; "Can not open %s!" is shown when the
    // port itself does not open, other failures are the caller's to report.
    bool connect(const std::string& portName);
    // Returns the controller to its menu and closes the port.
    void disconnect();
    bool isOpen() const { return open_; }
    const std::string& portName() const { return portName_; }

    // Sends a console command; longWait for "save\r", "p 0\r" and ESC. False when the port is
    // closed or a piece could not be written.
    bool send(const std::string& command, bool longWait = false);
    bool refresh();

    // While on, each tick decodes what has arrived at once instead of waiting for the line to
    // fall quiet (a playing page repaints pose after pose and is never quiet until it ends).
    // Fields cut by a tick are finished by the next one. Closing the port turns it off.
    void setDecodeAsItArrives(bool on) { decodeAsItArrives_ = on; }
    bool decodesAsItArrives() const { return decodeAsItArrives_; }
    // Between ticks, while decoding as it arrives: decodes what has arrived, without counting a
    // tick of any reply wait (a lost link is still found by tick()). True when bytes were decoded.
    bool decodeArrived();

    // One poll of the received bytes. Not re-entrant: a tick that starts while another is still
    // raising events (an event handler running a modal loop) returns at once.
    void tick();

    const MotionScreen& screen() const { return screen_; }
    bool isWaiting() const { return waiting_; }
    int countdown() const { return countdown_; }
    size_t bufferedBytes() const { return ring_.count(); }
    // Chunks the reader had to drop because the ring was full.
    unsigned droppedChunks() const { return dropped_.load(); }

    // The steps of connect, public so that tools and tests can drive them one by one.
    // Returns the highlighted menu entry 0..2, or -1 when no menu answered.
    int probe();
    int findMenu();
    bool enterScreenMode(int entry);
    bool writeRaw(const std::string& bytes);

    platform::Clock& clock() { return clock_; }

  private:
    bool openPort(const std::string& portName);
    void closePort(bool raiseEvent);
    void readerLoop(int paceMs);
    // Moves what has arrived on the channel into the ring; false when the channel failed.
    bool takeIn();
    // Without a reader thread, the owner takes in what has arrived.
    void collect();
    void raise(const LinkEvent& event);
    void linkLost(bool showTimeout);
    void decodeBuffered(size_t count);
    void sleepMs(int ms) const;

    Timing timing_;
    platform::ChannelOpener opener_;
    platform::Clock& clock_;
    bool readerThread_;
    std::unique_ptr<platform::ByteChannel> channel_;
    std::string portName_;
    std::string devicePath_;
    bool open_ = false;
    std::thread reader_;
    std::atomic<bool> running_{false};
    std::atomic<bool> readerFailed_{false};
    std::atomic<unsigned> dropped_{0};
    ByteRing ring_;

    bool waiting_ = false;
    int countdown_ = 0;
    int stableTicks_ = 0;
    size_t lastCount_ = 0;
    bool inTick_ = false;
    bool decodeAsItArrives_ = false;

    MotionScreen screen_;
    ScreenDecoder decoder_;
    LinkEventHandler handler_;
    MessageHandler messages_;
};

} // namespace motion
