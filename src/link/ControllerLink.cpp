#include "link/ControllerLink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace comm {

namespace {

constexpr uint8_t kTab = '\t';
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kRunningBreakByte = 0x55;
constexpr size_t kRunningBreakBlock = 255;
constexpr int kRunningBreakBlocks = 30;
constexpr size_t kBootBlock = 50;
constexpr size_t kPowerOnBlock = 70;
constexpr size_t kReplyMax = 256;
constexpr int kStarsAgain = 2; // the stars asked again after a banner in their place

bool echoesTheStars(const std::vector<uint8_t>& reply)
{
    return reply.size() >= 3 && std::all_of(reply.end() - 3, reply.end(), [](uint8_t b) { return b == '*'; });
}

bool starsReplyWhole(const std::vector<uint8_t>& reply)
{
    // The menu's answer is its entry twice, whatever came before it (the rest of a banner, a
    // boot message); the console and the boot loader echo the stars. Anything else is whole
    // only once the line has gone quiet.
    const size_t n = reply.size();
    return (n >= 2 && reply[n - 2] == reply[n - 1] && starsNameAMenuEntry(reply)) || echoesTheStars(reply);
}

bool crReplyWhole(const std::vector<uint8_t>& reply)
{
    // Four bytes decide every mode; what follows them is taken as far as it is there.
    return reply.size() >= 4;
}

platform::AnswerWait answerWait(const LinkTiming& timing)
{
    platform::AnswerWait wait;
    wait.firstMs = timing.probeReplyMs;
    wait.quietMs = timing.probeReplyMs;
    wait.patienceMs = timing.replyPatienceMs;
    return wait;
}

platform::AnswerEnd readUntilWhole(platform::ByteChannel& channel, platform::Clock& clock,
                                   const platform::AnswerWait& wait, size_t maxCount,
                                   const platform::AnswerComplete& whole, std::vector<uint8_t>& reply)
{
    return platform::awaitAnswer(
        clock, wait,
        [&](std::vector<uint8_t>& answer) {
            // Never called once the answer holds maxCount bytes: that answer is whole.
            const size_t had = answer.size();
            answer.resize(maxCount);
            size_t got = 0;
            const bool ok = channel.read(answer.data() + had, maxCount - had, &got);
            answer.resize(had + (ok ? got : 0));
            return ok;
        },
        [&](const std::vector<uint8_t>& answer) { return answer.size() >= maxCount || whole(answer); },
        reply);
}

bool endsWith(const std::vector<uint8_t>& reply, const char* text)
{
    size_t n = std::strlen(text);
    return reply.size() >= n && std::memcmp(reply.data() + reply.size() - n, text, n) == 0;
}

bool startsWith(const std::vector<uint8_t>& reply, const char* text)
{
    size_t n = std::strlen(text);
    return reply.size() >= n && std::memcmp(reply.data(), text, n) == 0;
}

void storeVersion(char (&slot)[ControllerLink::kVersionCapacity], const std::string& text)
{
    size_t n = std::min(text.size(), sizeof slot - 1);
    std::memcpy(slot, text.data(), n);
    slot[n] = '\0';
}

int percentOf(size_t done, size_t total)
{
    if (total == 0)
        return 100;
    auto p = static_cast<unsigned long long>(done) * 100ULL / total;
    return static_cast<int>(std::min<unsigned long long>(p, 100));
}

} // namespace

const char* modeName(ControllerMode m)
{
    switch (m) {
    case ControllerMode::Menu:
        return "MENU";
    case ControllerMode::Console:
        return "CONSOLE";
    case ControllerMode::Screen:
        return "SCREEN";
    case ControllerMode::Running:
        return "RUNNING";
    case ControllerMode::BootLoader:
        return "BOOTLOADER";
    case ControllerMode::Unknown:
        break;
    }
    return "UNKNOWN";
}

const char* modeName(int mode)
{
    switch (mode) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
        return modeName(static_cast<ControllerMode>(mode));
    default:
        return "UNKNOWN";
    }
}

ControllerMode modeFromName(const char* name)
{
    for (int m = 0; m <= 4; ++m)
        if (name && strcasecmp(name, modeName(m)) == 0)
            return static_cast<ControllerMode>(m);
    return ControllerMode::Unknown;
}

LinkTiming LinkTiming::scaled(double factor) const
{
    auto s = [factor](int ms) { return static_cast<int>(std::lround(ms * factor)); };
    LinkTiming t = *this;
    t.probeReplyMs = s(probeReplyMs);
    t.replyPatienceMs = s(replyPatienceMs);
    t.leaveModeMs = s(leaveModeMs);
    t.menuTabMs = s(menuTabMs);
    t.consoleBannerMs = s(consoleBannerMs);
    t.screenPaintMs = s(screenPaintMs);
    t.bootBlockMs = s(bootBlockMs);
    t.commandReplyMs = s(commandReplyMs);
    t.successReplyMs = s(successReplyMs);
    t.retryPauseMs = s(retryPauseMs);
    t.receivePollMs = s(receivePollMs);
    t.powerOnSettleMs = s(powerOnSettleMs);
    return t;
}

std::string versionBetween(const uint8_t* data, size_t size, char open, char close)
{
    const uint8_t* end = data + size;
    const uint8_t* first = std::find(data, end, static_cast<uint8_t>(open));
    if (first == end)
        return {};
    const uint8_t* last = std::find(first + 1, end, static_cast<uint8_t>(close));
    if (last == end)
        return {};
    size_t n = static_cast<size_t>(last - first - 1);
    if (n < ControllerLink::kMinVersionLength || n > ControllerLink::kMaxVersionLength)
        return {};
    return std::string(reinterpret_cast<const char*>(first + 1), n);
}

ChannelOpener serialPortOpener()
{
    return [](const std::string& portName, int baudRate) -> std::unique_ptr<platform::ByteChannel> {
        auto port = std::make_unique<platform::SerialPort>();
        port->open(portName, baudRate);
        return port;
    };
}

bool starsNameAMenuEntry(const std::vector<uint8_t>& starsReply)
{
    return !starsReply.empty() && starsReply.back() <= 2;
}

bool exchangeProbe(platform::ByteChannel& channel, platform::Clock& clock, const LinkTiming& timing,
                   ProbeReplies& replies)
{
    using platform::AnswerEnd;
    replies = {};
    const platform::AnswerWait wait = answerWait(timing);
    auto ask = [&](const char* bytes, auto whole, std::vector<uint8_t>& reply) {
        channel.purgeInput();
        if (!channel.write(bytes, std::strlen(bytes)))
            return AnswerEnd::Failed;
        return readUntilWhole(channel, clock, wait, kReplyMax, whole, reply);
    };
    AnswerEnd end = ask("***", starsReplyWhole, replies.stars);
    // Bytes that stopped without being the menu's answer or the echo were something the
    // controller printed before it heard the stars: the power-on window ignores input and the
    // menu appears after it. An Enter must not follow that, since the menu would take it as a
    // choice, so the stars are sent again (a program that keeps printing runs into the patience
    // instead and is not asked again).
    for (int again = 0; again < kStarsAgain && end == AnswerEnd::Quiet &&
                        !starsNameAMenuEntry(replies.stars) && !echoesTheStars(replies.stars);
         ++again)
        end = ask("***", starsReplyWhole, replies.stars);
    if (end == AnswerEnd::Failed)
        return false;
    if (starsNameAMenuEntry(replies.stars))
        return true;
    return ask("\r", crReplyWhole, replies.cr) != AnswerEnd::Failed;
}

ProbeVerdict classifyProbe(const ProbeReplies& replies)
{
    ProbeVerdict v;
    if (starsNameAMenuEntry(replies.stars)) {
        v.ok = true;
        v.mode = ControllerMode::Menu;
        v.menuEntry = replies.stars.back();
        return v;
    }
    const std::vector<uint8_t>& r = replies.cr;
    if (!r.empty() && r.size() < 3) {
        v.ok = false;
        return v;
    }
    v.ok = true;
    if (r.size() >= 4 && r[0] == 0x0D && r[3] == '[') {
        v.mode = ControllerMode::Console;
    } else if (r.size() >= 3 && r[0] == 0x02 && r[2] == '[') {
        v.mode = ControllerMode::Screen;
    } else if (r.size() >= 4 && r[0] == 0x0D && r[3] == '-') {
        v.mode = ControllerMode::BootLoader;
    } else {
        // Silence (a playing program does not answer the console at all) or what it prints.
        v.mode = ControllerMode::Running;
    }
    return v;
}

ControllerLink::ControllerLink() : ControllerLink(LinkTiming{}) {}

ControllerLink::ControllerLink(const LinkTiming& timing)
    : ControllerLink(timing, serialPortOpener(), platform::systemClock())
{
}

ControllerLink::ControllerLink(const LinkTiming& timing, ChannelOpener opener, platform::Clock& clock)
    : timing_(timing), opener_(std::move(opener)), clock_(clock),
      port_(std::make_unique<platform::SerialPort>())
{
    storeVersion(firmwareVersion_, kUnknownVersion);
    storeVersion(bootLoaderVersion_, kUnknownVersion);
}

ControllerLink::~ControllerLink()
{
    disconnect();
}

void ControllerLink::sleepMs(int ms) const
{
    if (ms > 0)
        clock_.sleepMs(ms);
}

bool ControllerLink::openPort(const std::string& portName)
{
    connected_ = false;
    port_->close();
    if (auto channel = opener_(portName, kBaudRate))
        port_ = std::move(channel);
    return port_->isOpen();
}

void ControllerLink::closePort()
{
    connected_ = false;
    port_->close();
}

bool ControllerLink::connect(const std::string& portName)
{
    if (!openPort(portName))
        return false;
    // Whatever was read over an earlier connection may be another controller's, or firmware
    // that has been replaced since.
    storeVersion(firmwareVersion_, kUnknownVersion);
    storeVersion(bootLoaderVersion_, kUnknownVersion);
    if (!goTo(ControllerMode::Menu)) {
        port_->close();
        return false;
    }
    connected_ = true;
    return true;
}

void ControllerLink::disconnect()
{
    if (connected_) {
        goTo(ControllerMode::Menu);
        connected_ = false;
    }
    if (port_->isOpen())
        port_->close();
}

bool ControllerLink::write(const void* data, size_t count)
{
    return port_->write(data, count);
}

bool ControllerLink::read(void* buffer, size_t maxCount, size_t* got)
{
    return port_->read(buffer, maxCount, got);
}

bool ControllerLink::purgeInput()
{
    return port_->purgeInput();
}

int ControllerLink::bytesWaiting()
{
    return port_->bytesWaiting();
}

bool ControllerLink::readReply(std::vector<uint8_t>& reply, size_t maxCount)
{
    reply.assign(maxCount, 0);
    size_t got = 0;
    if (!port_->read(reply.data(), maxCount, &got)) {
        reply.clear();
        return false;
    }
    reply.resize(got);
    return true;
}

bool ControllerLink::probe()
{
    mode_ = modeValue(ControllerMode::Unknown);
    menuEntry_ = 255;
    probeSilent_ = false;
    ProbeReplies replies;
    if (!exchangeProbe(*port_, clock_, timing_, replies))
        return false;
    ProbeVerdict verdict = classifyProbe(replies);
    if (!verdict.ok)
        return false;
    mode_ = modeValue(verdict.mode);
    menuEntry_ = verdict.menuEntry;
    probeSilent_ = verdict.mode == ControllerMode::Running && replies.cr.empty();
    return true;
}

bool ControllerLink::awaitReply(int firstMs, std::vector<uint8_t>& reply,
                                const platform::AnswerComplete& expected)
{
    platform::AnswerWait wait = answerWait(timing_);
    wait.firstMs = firstMs;
    return readUntilWhole(*port_, clock_, wait, kReplyMax, expected, reply) != platform::AnswerEnd::Failed &&
           expected(reply);
}

int ControllerLink::currentMode()
{
    probe();
    return mode_;
}

bool ControllerLink::leaveCurrentMode()
{
    switch (static_cast<ControllerMode>(mode_)) {
    case ControllerMode::Console:
    case ControllerMode::Screen:
        return port_->write("\rexit\ry");
    case ControllerMode::Running: {
        // The running program only listens for a long run of 0x55 to give the console back.
        std::vector<uint8_t> block(kRunningBreakBlock, kRunningBreakByte);
        const int64_t start = clock_.nowUs();
        for (int i = 0; i < kRunningBreakBlocks; ++i)
            if (!port_->write(block.data(), block.size()))
                return false;
        // The port takes the burst long before the line has carried it (1.3 s at 57,600 baud);
        // the pause before the next probe starts only once the program has seen the last byte.
        waitForLine(start, kRunningBreakBlock * kRunningBreakBlocks);
        return true;
    }
    case ControllerMode::BootLoader:
        return port_->write("\rgo\r");
    case ControllerMode::Menu:
        return true;
    case ControllerMode::Unknown:
        break;
    }
    return false;
}

void ControllerLink::waitForLine(int64_t startUs, size_t bytes)
{
    if (timing_.lineBaud <= 0)
        return;
    const int64_t onTheLine = static_cast<int64_t>(bytes) * 10 * 1000000 / timing_.lineBaud;
    clock_.sleepUs(startUs + onTheLine - clock_.nowUs());
}

bool ControllerLink::goTo(ControllerMode target)
{
    int t = modeValue(target);
    if (t < 0 || t > modeValue(ControllerMode::BootLoader))
        return false;
    if (!probe())
        return false;
    if (mode_ == t)
        return true;
    if (!leaveCurrentMode())
        return false;
    sleepMs(timing_.leaveModeMs);
    // Whatever the controller was doing, it has to be in its menu now; anything else (a console
    // or boot loader that ignored the bytes, a program still running) is a failure.
    if (!probe() || mode_ != modeValue(ControllerMode::Menu))
        return false;

    switch (target) {
    case ControllerMode::Menu:
        return true;
    case ControllerMode::Console:
        return enterConsole();
    case ControllerMode::Screen:
        return enterScreen();
    case ControllerMode::Running:
        if (!openMenuEntry(2))
            return false;
        mode_ = modeValue(ControllerMode::Running);
        return true;
    case ControllerMode::BootLoader:
        return enterBootLoader();
    case ControllerMode::Unknown:
        break;
    }
    return false;
}

bool ControllerLink::enterConsole()
{
    if (!openMenuEntry(0))
        return false;
    sleepMs(timing_.consoleBannerMs);
    std::vector<uint8_t> banner;
    if (!readReply(banner, kReplyMax) || banner.size() < kMinConsoleBanner)
        return false;
    std::string version = versionBetween(banner.data(), banner.size(), '[', ']');
    if (version.empty())
        return false;
    storeVersion(firmwareVersion_, version);
    mode_ = modeValue(ControllerMode::Console);
    return true;
}

bool ControllerLink::enterScreen()
{
    if (!openMenuEntry(1))
        return false;
    sleepMs(timing_.screenPaintMs);
    // The editor paints each field with 0x02, ESC and a cursor position; one such field is
    // enough to know that the screen is up. Reading it is the motion editor's business.
    std::vector<uint8_t> screen;
    if (!readReply(screen, 4096))
        return false;
    static const uint8_t field[] = {0x02, 0x1B, '['};
    if (std::search(screen.begin(), screen.end(), std::begin(field), std::end(field)) == screen.end())
        return false;
    mode_ = modeValue(ControllerMode::Screen);
    return true;
}

bool ControllerLink::enterBootLoader()
{
    std::vector<uint8_t> block(kBootBlock, '#');
    std::vector<uint8_t> reply;
    for (int attempt = 0; attempt < kBootBlockAttempts; ++attempt) {
        if (!port_->write(block.data(), block.size()))
            return false;
        sleepMs(timing_.bootBlockMs);
        if (!readReply(reply, kReplyMax))
            return false;
        if (!reply.empty() && reply.back() == '#')
            break;
    }
    if (reply.size() < kMinBootBanner)
        return false;
    std::string version = versionBetween(reply.data(), reply.size(), '(', ')');
    if (version.empty())
        return false;
    storeVersion(bootLoaderVersion_, version);
    mode_ = modeValue(ControllerMode::BootLoader);
    return true;
}

bool ControllerLink::selectMenuEntry(int entry)
{
    if (entry < 0 || entry > 2)
        return false;
    if (mode_ != modeValue(ControllerMode::Menu) && !goTo(ControllerMode::Menu))
        return false;
    int presses = entry - menuEntry_;
    if (presses < 0)
        presses += 3;
    for (int i = 0; i < presses; ++i) {
        if (!port_->write(&kTab, 1))
            return false;
        sleepMs(timing_.menuTabMs);
    }
    return probe() && mode_ == modeValue(ControllerMode::Menu) && menuEntry_ == entry;
}

bool ControllerLink::openMenuEntry(int entry)
{
    return selectMenuEntry(entry) && port_->write("\r", 1);
}

std::string ControllerLink::firmwareVersionText()
{
    if (firmwareVersion_[0] == 'U') {
        goTo(ControllerMode::Console);
        goTo(ControllerMode::Menu);
    }
    return firmwareVersion_;
}

void ControllerLink::armBootLoaderWait()
{
    bootWait_.store(BootWaitArmed);
}

void ControllerLink::cancelBootLoaderWait()
{
    // Only a capture that is armed or running can be cancelled; a cancel after the capture has
    // ended must not spoil the next one.
    int armed = BootWaitArmed;
    bootWait_.compare_exchange_strong(armed, BootWaitCancelled);
}

int ControllerLink::waitForBootLoader(int seconds, const std::function<void()>& listening)
{
    struct Disarm {
        std::atomic<int>& flag;
        ~Disarm() { flag.store(BootWaitIdle); }
    };
    if (!port_->isOpen()) {
        bootWait_.store(BootWaitIdle);
        return 0;
    }
    int idle = BootWaitIdle;
    if (!bootWait_.compare_exchange_strong(idle, BootWaitArmed) && idle == BootWaitCancelled) {
        bootWait_.store(BootWaitIdle);
        return -1;
    }
    Disarm disarm{bootWait_};

    std::vector<uint8_t> block(kPowerOnBlock, '#');
    port_->purgeInput();
    if (listening)
        listening();
    const int64_t start = clock_.nowMs();
    const int64_t limit = static_cast<int64_t>(seconds) * 1000;
    uint8_t buffer[kReplyMax];
    for (;;) {
        if (bootWait_.load() == BootWaitCancelled)
            return -1;
        size_t got = 0;
        if (!port_->read(buffer, sizeof buffer, &got))
            return 0;
        if (got > 0) {
            // The controller has just been switched on: its boot loader listens for a moment only.
            if (!port_->write(block.data(), block.size()))
                return 0;
            sleepMs(timing_.powerOnSettleMs);
            return currentMode() == modeValue(ControllerMode::BootLoader) ? 1 : 0;
        }
        if (clock_.nowMs() - start > limit)
            return 0;
        // Wake as soon as a byte arrives, without spinning a core for a minute.
        port_->waitReadable(5);
    }
}

bool ControllerLink::download(uint32_t address, const uint8_t* data, size_t length, bool retry)
{
    // An image always carries at least its checksum byte; an empty one is nothing to send.
    if (data == nullptr || length == 0)
        return false;
    if (!goTo(ControllerMode::BootLoader))
        return false;
    // New firmware, even a transfer that failed part way: the old version text is no longer
    // true, whether or not it can be read again.
    if (address == 0)
        storeVersion(firmwareVersion_, kUnknownVersion);
    int attempts = 1 + (retry ? kDownloadRetries : 0);
    bool sent = false;
    for (int attempt = 0; attempt < attempts && !sent; ++attempt) {
        if (attempt > 0)
            sleepMs(timing_.retryPauseMs);
        sent = downloadAttempt(address, data, length);
    }
    if (!sent) {
        goTo(ControllerMode::Menu);
        return false;
    }
    if (!goTo(ControllerMode::Menu))
        return false;
    if (address == 0) {
        goTo(ControllerMode::Console);
        goTo(ControllerMode::Menu);
    }
    return true;
}

bool ControllerLink::downloadAttempt(uint32_t address, const uint8_t* data, size_t length)
{
    setProgress(0);
    port_->purgeInput();
    char command[32];
    std::snprintf(command, sizeof command, "\rld %x\r", static_cast<unsigned>(address));
    if (!port_->write(command))
        return false;
    std::vector<uint8_t> reply;
    if (!awaitReply(timing_.commandReplyMs, reply, [](const auto& r) { return endsWith(r, "Ready.."); }))
        return false;

    size_t sent = 0;
    const int64_t imageStart = clock_.nowUs();
    while (sent < length) {
        size_t n = std::min(kChunkSize, length - sent);
        if (!port_->write(data + sent, n))
            return false;
        sent += n;
        waitForLine(imageStart, sent);
        // The boot loader is silent while it takes an image; anything it says before the last
        // chunk is a complaint. After the last chunk its answer may already be on its way (a
        // fast controller or one on a pseudo-terminal replies at once); that answer is judged
        // below.
        if (sent < length && port_->bytesWaiting() > 0)
            return false;
        setProgress(percentOf(sent, length));
        if (chunkObserver_)
            chunkObserver_(n, progress());
    }

    if (!awaitReply(timing_.successReplyMs, reply, [](const auto& r) { return startsWith(r, "Success"); }))
        return false;
    if (!port_->write("\rapp\r"))
        return false;
    sleepMs(timing_.commandReplyMs);
    setProgress(100);
    return true;
}

bool ControllerLink::requestUpload(uint32_t address, uint32_t length)
{
    if (!goTo(ControllerMode::BootLoader))
        return false;
    port_->purgeInput();
    char command[48];
    std::snprintf(command, sizeof command, "\rup %x %x\r", static_cast<unsigned>(address),
                  static_cast<unsigned>(length));
    if (!port_->write(command))
        return false;
    std::vector<uint8_t> reply;
    return awaitReply(timing_.commandReplyMs, reply, [](const auto& r) { return endsWith(r, "ready..."); });
}

bool ControllerLink::receive(uint8_t* buffer, size_t count, const std::atomic<bool>* stop)
{
    setProgress(0);
    if (buffer == nullptr)
        return false;
    const size_t capacity = count + kReceiveSlack;
    size_t received = 0;
    int idle = 0;
    bool started = false;
    while (received < count) {
        size_t got = 0;
        size_t room = std::min(kReplyMax, capacity - received);
        if (!port_->read(buffer + received, room, &got)) {
            goTo(ControllerMode::Menu);
            return false;
        }
        if (got > 0) {
            received += got;
            idle = 0;
            started = true;
        }
        setProgress(percentOf(received, count));
        ++idle;
        if (received >= count)
            break;
        if ((!started && idle > timing_.receiveIdleBeforeData) ||
            (started && idle > timing_.receiveIdleAfterData) || (stop && stop->load())) {
            // A boot loader still waiting for its START button ignores "\rgo\r" and would be
            // probed as a running program; ESC calls that wait off, so the controller can be
            // taken back to its menu and answers again.
            port_->write(&kEsc, 1);
            sleepMs(timing_.leaveModeMs);
            goTo(ControllerMode::Menu);
            return false;
        }
        sleepMs(timing_.receivePollMs);
    }
    setProgress(100);
    return true;
}

bool ControllerLink::receive(std::vector<uint8_t>& buffer, size_t count, const std::atomic<bool>* stop)
{
    buffer.assign(count + kReceiveSlack, 0);
    bool ok = receive(buffer.data(), count, stop);
    buffer.resize(ok ? count : 0);
    return ok;
}

} // namespace comm
