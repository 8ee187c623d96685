#include "motion/MotionLink.h"

#include "platform/AnswerWait.h"
#include "platform/PortMap.h"
#include "posewright_texts/PosewrightTexts.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace motion {

namespace {

std::string format(const char* pattern, const std::string& arg)
{
    std::string p(pattern);
    auto at = p.find("%s");
    if (at == std::string::npos)
        return p;
    return p.substr(0, at) + arg + p.substr(at + 2);
}

} // namespace

int menuEntryFromProbe(const uint8_t* reply, size_t count)
{
    if (count < 2)
        return -1;
    const uint8_t a = reply[count - 2];
    const uint8_t b = reply[count - 1];
    return a == b && a <= 2 ? a : -1;
}

platform::ChannelOpener MotionLink::serialDeviceOpener()
{
    return [](const std::string& path, int baud) { return platform::openSerialDevice(path, baud); };
}

MotionLink::MotionLink() : MotionLink(serialDeviceOpener(), platform::systemClock(), true) {}

MotionLink::MotionLink(platform::ChannelOpener opener, platform::Clock& clock, bool readerThread)
    : opener_(std::move(opener)), clock_(clock), readerThread_(readerThread),
      decoder_(screen_, [this](const LinkEvent& e) { raise(e); })
{
}

MotionLink::~MotionLink()
{
    if (open_) {
        writeRaw("\rexit\ry");
        closePort(false);
    }
}

void MotionLink::setEventHandler(LinkEventHandler handler)
{
    handler_ = std::move(handler);
}

void MotionLink::raise(const LinkEvent& event)
{
    if (handler_)
        handler_(event);
}

void MotionLink::sleepMs(int ms) const
{
    if (ms > 0)
        clock_.sleepMs(ms);
}

bool MotionLink::openPort(const std::string& portName)
{
    std::string path = portName;
    if (platform::comPortNumber(portName))
        path = platform::devicePathForPort(portName);
    channel_ = path.empty() ? nullptr : opener_(path, kBaudRate);
    if (!channel_ || !channel_->isOpen()) {
        channel_.reset();
        if (messages_)
            messages_({}, format(posewright::text(posewright::Txt::CannotOpenPort), portName));
        return false;
    }
    channel_->purgeInput();
    portName_ = portName;
    devicePath_ = path;
    ring_.resetUnshared();
    decoder_.reset();
    waiting_ = false;
    countdown_ = 0;
    stableTicks_ = 0;
    lastCount_ = 0;
    readerFailed_ = false;
    dropped_ = 0;
    running_ = true;
    if (readerThread_) {
        try {
            reader_ = std::thread([this, pace = timing_.readerSleep] { readerLoop(pace); });
        } catch (...) {
            running_ = false;
            channel_.reset();
            if (messages_)
                messages_({}, format(posewright::text(posewright::Txt::CannotOpenPort), portName));
            return false;
        }
    }
    open_ = true;
    return true;
}

void MotionLink::closePort(bool raiseEvent)
{
    if (!open_)
        return;
    screen_.inEditScreen = false;
    decodeAsItArrives_ = false;
    running_ = false;
    if (reader_.joinable())
        reader_.join();
    channel_->purgeInput();
    channel_->close();
    channel_.reset();
    ring_.resetUnshared();
    decoder_.reset();
    waiting_ = false;
    open_ = false;
    // Raised once everything is closed, so that a handler sees a closed link and may call
    // disconnect() or connect() itself.
    if (raiseEvent) {
        LinkEvent e;
        e.code = LinkEventCode::EditScreenChanged;
        raise(e);
    }
}

bool MotionLink::takeIn()
{
    std::vector<uint8_t> chunk(kReadChunk);
    for (;;) {
        size_t got = 0;
        if (!channel_->read(chunk.data(), chunk.size(), &got))
            return false;
        if (got == 0)
            return true;
        if (!ring_.append(chunk.data(), got))
            dropped_.fetch_add(1);
        if (got < chunk.size())
            return true;
    }
}

void MotionLink::collect()
{
    if (!readerThread_ && open_ && !readerFailed_.load() && !takeIn())
        readerFailed_ = true;
}

void MotionLink::readerLoop(int paceMs)
{
    while (running_.load()) {
        if (!takeIn()) {
            // Never a message box from here: the owner's next tick reports it.
            readerFailed_ = true;
            return;
        }
        // Sleep in short steps so that disconnecting does not wait out a whole pause.
        for (int slept = 0; slept < paceMs && running_.load(); slept += 10)
            clock_.sleepMs(std::min(10, paceMs - slept));
    }
}

bool MotionLink::writeRaw(const std::string& bytes)
{
    if (!channel_ || !channel_->isOpen())
        return false;
    return channel_->write(bytes.data(), bytes.size());
}

int MotionLink::probe()
{
    if (!open_)
        return -1;
    collect();
    ring_.discardAll();
    if (!writeRaw("***"))
        return -1;
    platform::AnswerWait wait;
    wait.firstMs = timing_.probeWait;
    wait.quietMs = timing_.probeWait;
    wait.patienceMs = timing_.probePatience;
    std::vector<uint8_t> reply;
    platform::awaitAnswer(
        clock_, wait,
        [this](std::vector<uint8_t>& answer) {
            collect();
            uint8_t chunk[256];
            while (const size_t n = ring_.take(chunk, sizeof chunk))
                answer.insert(answer.end(), chunk, chunk + n);
            return true;
        },
        [](const std::vector<uint8_t>& answer) {
            return menuEntryFromProbe(answer.data(), answer.size()) >= 0;
        },
        reply);
    ring_.discardAll(); // what comes after the answer is nobody's reply
    return menuEntryFromProbe(reply.data(), reply.size());
}

int MotionLink::findMenu()
{
    int entry = probe();
    if (entry >= 0)
        return entry;
    writeRaw("\rexit\ry"); // leaves the console and the full-screen editor
    sleepMs(timing_.probeWait);
    if ((entry = probe()) >= 0)
        return entry;
    writeRaw("\rgo\r"); // leaves the boot loader
    sleepMs(timing_.probeWait);
    if ((entry = probe()) >= 0)
        return entry;
    const std::string burst(255, '\x55'); // wakes a running program up
    for (int i = 0; i < 20; ++i) {
        writeRaw(burst);
        sleepMs(timing_.burstPause);
    }
    sleepMs(timing_.probeWait);
    return probe();
}

bool MotionLink::enterScreenMode(int entry)
{
    if (entry < 0 || entry > 2)
        return false;
    const int presses = (1 - entry + 3) % 3;
    for (int i = 0; i < presses; ++i) {
        if (!writeRaw("\t"))
            return false;
        sleepMs(timing_.tabWait);
    }
    if (probe() != 1)
        return false;
    return writeRaw("\r");
}

bool MotionLink::connect(const std::string& portName)
{
    if (open_)
        return false;
    if (!openPort(portName))
        return false;
    int entry = findMenu();
    if (entry < 0 || !enterScreenMode(entry)) {
        disconnect();
        return false;
    }
    return true;
}

void MotionLink::disconnect()
{
    if (!open_)
        return;
    writeRaw("\rexit\ry");
    closePort(true);
}

bool MotionLink::send(const std::string& command, bool longWait)
{
    if (!open_)
        return false;
    bool ok = true;
    if (command.size() <= kPieceSize) {
        ok = writeRaw(command);
    } else {
        for (size_t at = 0; at < command.size(); at += kPieceSize) {
            // A piece that fails counts as nothing written; the rest still goes out.
            if (!writeRaw(command.substr(at, kPieceSize)))
                ok = false;
            sleepMs(timing_.pieceGap);
        }
    }
    waiting_ = true;
    countdown_ = longWait ? kLongWaitTicks : kShortWaitTicks;
    return ok;
}

bool MotionLink::refresh()
{
    return send("re\r");
}

void MotionLink::linkLost(bool showTimeout)
{
    waiting_ = false;
    disconnect();
    if (showTimeout && messages_)
        messages_({}, posewright::text(posewright::Txt::ControllerNotFound));
    screen_.message = posewright::text(posewright::Txt::Disconnected);
    LinkEvent e;
    e.code = LinkEventCode::LinkLost;
    e.text = posewright::text(posewright::Txt::Disconnected);
    raise(e);
}

void MotionLink::decodeBuffered(size_t count)
{
    std::vector<uint8_t> bytes(count);
    const size_t got = ring_.take(bytes.data(), count);
    decoder_.feed(bytes.data(), got);
}

namespace {

// Marks a poll as running while its handlers run (they may open modal boxes).
struct TickGuard {
    bool& flag;
    explicit TickGuard(bool& f) : flag(f) { flag = true; }
    ~TickGuard() { flag = false; }
};

} // namespace

bool MotionLink::decodeArrived()
{
    if (inTick_ || !open_ || !decodeAsItArrives_)
        return false;
    TickGuard guard(inTick_);
    collect();
    const size_t n = ring_.count();
    if (n == 0)
        return false;
    waiting_ = false;
    decodeBuffered(n);
    return true;
}

void MotionLink::tick()
{
    if (inTick_ || !open_)
        return;
    TickGuard guard(inTick_);

    collect();
    if (readerFailed_.exchange(false)) {
        if (messages_)
            messages_(posewright::text(posewright::Txt::ErrorCaption),
                      format(posewright::text(posewright::Txt::ReaderFailed), devicePath_) + "\n" +
                          posewright::text(posewright::Txt::PortGone));
        linkLost(false);
        return;
    }

    const size_t n = ring_.count();
    if (n > 0) {
        waiting_ = false;
        if (decodeAsItArrives_) {
            stableTicks_ = 0;
            lastCount_ = 0;
            decodeBuffered(n);
        } else if (n == lastCount_) {
            if (stableTicks_ >= kQuietTicks) {
                stableTicks_ = 0;
                lastCount_ = 0;
                decodeBuffered(n);
            } else {
                ++stableTicks_;
            }
        } else {
            stableTicks_ = 0;
            lastCount_ = n;
        }
        return;
    }
    stableTicks_ = 0;
    lastCount_ = 0;
    if (waiting_ && --countdown_ < 0)
        linkLost(true);
}

} // namespace motion
