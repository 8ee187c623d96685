#pragma once
// A scripted KZ-7 behind an in-process byte channel on a virtual clock, for the byte-exact cases
// a full simulator cannot be bent into: odd banners, replies with a byte too many, chatter during
// a download, refused attempts. It keeps just enough of the controller's modes to answer the
// link's probes and records everything it was sent. Its answers come at once; the link's waits
// cost no real time.

#include "support/InProcessDevice.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace linktest {

enum class FakeMode { Off, Menu, Console, Screen, Running, BootLoader, Receiving, PoweredOn };

struct FakeScript {
    int menuEntry = 0;
    std::string consoleBanner; // default: a long banner with "[KZ-7 firmware 2.10]"
    std::string bootBanner;    // default: "... (KZ-7 BL ver 1.30) ..."
    std::string readyReply = "\r\nReady..";
    bool readyEntersReceive = true; // after the ready reply, bytes are taken as the image
    std::string successReply = "Success\r\n";
    std::string uploadReply = "\r\nready...";
    bool consoleIgnoresExit = false; // "\rexit\ry" leaves it in the console
    bool bootIgnoresGo = false;      // "\rgo\r" leaves it in the boot loader
    bool bootEchoes = true;          // the boot loader echoes each '#'
    bool runningIgnoresBreak = false;
    int refuseLoads = 0;               // this many "ld" commands get an error instead of Ready..
    long complainAfterImageBytes = -1; // send one byte once this many image bytes arrived
    bool silentAfterUpload = false;    // "up" is acknowledged but no data follows
    long stopUploadAfter = -1;         // stop sending upload data after this many bytes
    std::vector<uint8_t> memory;       // what "up" sends (the requested length, cycled)
    long imageLength = -1;             // length of the next images; -1: an image ends at a pause
    std::string servoReport = "ID 1 .. ok\r\nID 2 .. ok\r\n<done>\r\n";
    bool servoSilent = false;
    std::string runningOutput; // what a started program prints
};

class FakeController final : public testsupport::InProcessDevice {
  public:
    explicit FakeController(FakeScript script = {});
    ~FakeController() override;

    bool ok() const { return true; }
    std::string devicePath() const { return "fake"; }
    testsupport::VirtualClock& clock() { return deviceClock_; }
    // Runs action once the virtual time is delayMs further on (a button pressed, a cancel).
    void later(int delayMs, std::function<void()> action);

    // Switches the controller on: it says hello and listens for '#' for a while before its menu.
    void powerOn();
    void setMode(FakeMode mode);
    void setConsoleBanner(const std::string& banner);
    void setIgnoreHashes(bool ignore); // the menu does not react to '#'
    FakeMode mode();
    // Whether the fake has reached mode once what the link sent is taken in (it takes bytes in
    // as they are written, so there is nothing to wait for).
    bool waitMode(FakeMode mode);

    std::string received(); // everything sent to it so far
    void clearReceived();
    std::vector<std::vector<uint8_t>> images(); // each image taken in by "ld", in order
    std::vector<std::string> commands();        // each console or boot-loader line, in order
    int tabs();
    // The START button: an upload asked for with "up" begins only after it.
    void pressStart();

  private:
    // Time-driven work up to the clock's time: due actions, the end of an image, upload data.
    void catchUp() override;
    bool take(const uint8_t* data, size_t count, std::string& error) override;
    // Its time-driven work is looked at every millisecond.
    std::optional<int64_t> nextEventMs() const override { return deviceClock_.nowMs() + 1; }
    void handle(uint8_t byte);
    void handleLine(const std::string& line);
    void send(const std::string& bytes);
    void sendBytes(const uint8_t* data, size_t n);
    void finishImage();
    static std::string defaultConsoleBanner();
    static std::string defaultBootBanner();

    FakeScript script_;
    FakeMode mode_ = FakeMode::Menu;
    int entry_ = 0;
    std::string received_;
    std::string line_;
    bool exitAsked_ = false;
    int breakRun_ = 0;
    int tabs_ = 0;
    std::vector<std::string> commands_;
    std::vector<std::vector<uint8_t>> images_;
    std::vector<uint8_t> image_;
    int64_t lastImageByteUs_ = 0;
    bool complained_ = false;
    std::vector<uint8_t> pendingUpload_;
    bool startPressed_ = false;
    long uploadLimit_ = -1;
    long uploadSent_ = 0;
    int stars_ = 0;
    bool ignoreHashes_ = false;
};

} // namespace linktest
