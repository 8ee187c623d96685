#include "FakeController.h"

#include <algorithm>
#include <cstdio>

namespace linktest {

namespace {
constexpr int64_t kImagePauseUs = 40000;
}

FakeController::FakeController(FakeScript script) : script_(std::move(script))
{
    if (script_.consoleBanner.empty())
        script_.consoleBanner = defaultConsoleBanner();
    if (script_.bootBanner.empty())
        script_.bootBanner = defaultBootBanner();
    entry_ = script_.menuEntry;
}

FakeController::~FakeController() = default;

void FakeController::later(int delayMs, std::function<void()> action)
{
    std::lock_guard lock(mutex_);
    schedule(deviceClock_.nowMs() + delayMs, std::move(action));
}

std::string FakeController::defaultConsoleBanner()
{
    std::string banner = "\r\n\r\nKZ-7 robot controller\r\n[KZ-7 firmware 2.10]\r\n";
    banner += "Copyright the makers of the kit. Type help for the commands.\r\n";
    banner += "Memory: program a000, servo c000, motion e000\r\n[KZ7]$ ";
    return banner;
}

std::string FakeController::defaultBootBanner()
{
    return "\r\nKZ-7 boot loader (KZ-7 BL ver 1.30) at your service\r\n";
}

void FakeController::powerOn()
{
    std::lock_guard lock(mutex_);
    mode_ = FakeMode::PoweredOn;
    send("\r\nKZ-7 power on\r\n");
}

void FakeController::setMode(FakeMode mode)
{
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

void FakeController::setConsoleBanner(const std::string& banner)
{
    std::lock_guard lock(mutex_);
    script_.consoleBanner = banner;
}

void FakeController::setIgnoreHashes(bool ignore)
{
    std::lock_guard lock(mutex_);
    ignoreHashes_ = ignore;
}

FakeMode FakeController::mode()
{
    std::lock_guard lock(mutex_);
    return mode_;
}

bool FakeController::waitMode(FakeMode mode)
{
    std::lock_guard lock(mutex_);
    catchUp();
    return mode_ == mode;
}

std::string FakeController::received()
{
    std::lock_guard lock(mutex_);
    return received_;
}

void FakeController::clearReceived()
{
    std::lock_guard lock(mutex_);
    received_.clear();
    commands_.clear();
    tabs_ = 0;
}

std::vector<std::vector<uint8_t>> FakeController::images()
{
    std::lock_guard lock(mutex_);
    return images_;
}

std::vector<std::string> FakeController::commands()
{
    std::lock_guard lock(mutex_);
    return commands_;
}

int FakeController::tabs()
{
    std::lock_guard lock(mutex_);
    return tabs_;
}

void FakeController::pressStart()
{
    std::lock_guard lock(mutex_);
    startPressed_ = true;
}

void FakeController::send(const std::string& bytes)
{
    sendBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void FakeController::sendBytes(const uint8_t* data, size_t n)
{
    toPc_.append(reinterpret_cast<const char*>(data), n);
}

bool FakeController::take(const uint8_t* data, size_t count, std::string&)
{
    received_.append(reinterpret_cast<const char*>(data), count);
    for (size_t i = 0; i < count; ++i)
        handle(data[i]);
    return true;
}

void FakeController::catchUp()
{
    while (runNextDue(deviceClock_.nowMs())) {
    }
    if (mode_ == FakeMode::Receiving && script_.imageLength < 0 && !image_.empty() &&
        deviceClock_.nowUs() - lastImageByteUs_ > kImagePauseUs)
        finishImage();
    if (!pendingUpload_.empty() && startPressed_) {
        size_t room = pendingUpload_.size();
        if (uploadLimit_ >= 0)
            room = std::min<size_t>(room, static_cast<size_t>(std::max<long>(uploadLimit_ - uploadSent_, 0)));
        sendBytes(pendingUpload_.data(), room);
        pendingUpload_.erase(pendingUpload_.begin(), pendingUpload_.begin() + static_cast<long>(room));
        uploadSent_ += static_cast<long>(room);
    }
}

void FakeController::finishImage()
{
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < image_.size(); ++i)
        sum = static_cast<uint8_t>(sum + image_[i]);
    bool good = !image_.empty() && sum == image_.back();
    images_.push_back(image_);
    image_.clear();
    mode_ = FakeMode::BootLoader;
    send(good ? script_.successReply : std::string("Checksum error\r\n"));
}

void FakeController::handle(uint8_t byte)
{
    switch (mode_) {
    case FakeMode::Off:
        return;
    case FakeMode::PoweredOn:
        if (byte == '#') {
            mode_ = FakeMode::BootLoader;
            send(script_.bootBanner);
        }
        return;
    case FakeMode::Running:
        if (byte == 0x55) {
            if (++breakRun_ >= 255 && !script_.runningIgnoresBreak) {
                breakRun_ = 0;
                mode_ = FakeMode::Menu;
            }
        } else {
            breakRun_ = 0;
        }
        return;
    case FakeMode::Receiving:
        image_.push_back(byte);
        lastImageByteUs_ = deviceClock_.nowUs();
        if (script_.complainAfterImageBytes >= 0 && !complained_ &&
            static_cast<long>(image_.size()) >= script_.complainAfterImageBytes) {
            complained_ = true;
            send("!");
        }
        if (script_.imageLength >= 0 && static_cast<long>(image_.size()) >= script_.imageLength)
            finishImage();
        return;
    case FakeMode::Menu:
        if (byte == '*') {
            if (++stars_ == 3) {
                stars_ = 0;
                uint8_t e = static_cast<uint8_t>(entry_);
                sendBytes(&e, 1);
            }
            return;
        }
        stars_ = 0;
        if (byte == '\t') {
            ++tabs_;
            entry_ = (entry_ + 1) % 3;
        } else if (byte == '\r') {
            if (entry_ == 0) {
                mode_ = FakeMode::Console;
                line_.clear();
                send(script_.consoleBanner);
            } else if (entry_ == 1) {
                mode_ = FakeMode::Screen;
                send("\x02\x1b[1;1fPAGE 1\x02\x1b[2;1fJOINTS");
            } else {
                mode_ = FakeMode::Running;
                breakRun_ = 0;
                send(script_.runningOutput);
            }
        } else if (byte == '#' && !ignoreHashes_) {
            mode_ = FakeMode::BootLoader;
            line_.clear();
            send(script_.bootBanner);
        }
        return;
    case FakeMode::Console:
    case FakeMode::Screen:
        if (exitAsked_) {
            exitAsked_ = false;
            if (byte == 'y' && !script_.consoleIgnoresExit) {
                mode_ = FakeMode::Menu;
                return;
            }
        }
        if (byte == '\r') {
            std::string line = line_;
            line_.clear();
            if (mode_ == FakeMode::Screen) {
                exitAsked_ = line == "exit";
                if (!exitAsked_)
                    send("\x02\x1b[1;1fPAGE 1");
                return;
            }
            handleLine(line);
        } else {
            line_ += static_cast<char>(byte);
        }
        return;
    case FakeMode::BootLoader:
        if (byte == '#') {
            if (script_.bootEchoes)
                send("#");
        } else if (byte == '\r') {
            std::string line = line_;
            line_.clear();
            handleLine(line);
        } else {
            line_ += static_cast<char>(byte);
        }
        return;
    }
}

void FakeController::handleLine(const std::string& line)
{
    // The link's probes ("***" then a carriage return) are not commands worth recording.
    if (!line.empty() && line.find_first_not_of('*') != std::string::npos)
        commands_.push_back(line);
    if (mode_ == FakeMode::Console) {
        if (line == "exit") {
            exitAsked_ = true;
            send("\r\nReally exit? (y/n)");
        } else if (line.rfind("update ", 0) == 0) {
            if (!script_.servoSilent)
                send(script_.servoReport);
        } else {
            send("\r\n [KZ7]$ ");
        }
        return;
    }
    // Boot loader.
    unsigned a = 0, b = 0;
    if (line.empty()) {
        send("\r\n -BL> ");
    } else if (line == "go" || line == "app") {
        if (!script_.bootIgnoresGo || line == "app")
            mode_ = FakeMode::Menu;
    } else if (std::sscanf(line.c_str(), "ld %x", &a) == 1) {
        if (script_.refuseLoads > 0) {
            --script_.refuseLoads;
            send("\r\nld: busy\r\n");
            return;
        }
        send(script_.readyReply);
        if (!script_.readyEntersReceive)
            return;
        mode_ = FakeMode::Receiving;
        image_.clear();
        complained_ = false;
    } else if (std::sscanf(line.c_str(), "up %x %x", &a, &b) == 2) {
        send(script_.uploadReply);
        if (script_.silentAfterUpload)
            return;
        pendingUpload_.clear();
        for (unsigned i = 0; i < b; ++i)
            pendingUpload_.push_back(script_.memory.empty() ? static_cast<uint8_t>(i * 7)
                                                            : script_.memory[i % script_.memory.size()]);
        uploadLimit_ = script_.stopUploadAfter;
        uploadSent_ = 0;
    } else {
        send("\r\n -BL> ");
    }
}

} // namespace linktest
