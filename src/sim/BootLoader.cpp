#include "sim/BootLoader.h"

#include "sim/CommandWords.h"

#include <cstdio>

namespace sim {

namespace {

constexpr uint8_t kEsc = 27;
constexpr char kPrompt[] = "--> ";

} // namespace

BootLoader::BootLoader(ControllerMemory& memory, std::string& out)
    : memory_(memory), out_(out), line_(out, LineEditor::EchoPastEnd::Yes)
{
}

std::string BootLoader::version()
{
    return "KZ-7 boot loader 2.04";
}

void BootLoader::enter()
{
    state_ = State::Prompt;
    line_.clear();
    out_ += "\r\nKZ-7 boot loader (" + version() + ")\r\n" + kPrompt;
}

void BootLoader::reset()
{
    state_ = State::Prompt;
    line_.clear();
    image_.clear();
}

BootLoader::Outcome BootLoader::input(uint8_t byte, int64_t now)
{
    if (state_ == State::Receiving) {
        if (imageBytes_ < ControllerMemory::kSize + 1)
            image_.push_back(byte);
        ++imageBytes_;
        imageLastByte_ = now;
        return Outcome::Stay;
    }
    if (state_ == State::AwaitStart) {
        if (byte == kEsc) {
            state_ = State::Prompt;
            out_ += std::string("\r\n-- upload cancelled\r\n") + kPrompt;
        }
        return Outcome::Stay;
    }
    std::string line;
    if (line_.edit(byte, line))
        return command(line, now);
    return Outcome::Stay;
}

// Every boot-loader line starts with "--" (or is one of the transfer answers), so the reply to
// a bare carriage return carries '-' as its fourth byte.
BootLoader::Outcome BootLoader::command(const std::string& line, int64_t now)
{
    std::vector<std::string> words = splitWords(line);
    if (words.empty() || onlyProbeBytes(line)) {
        out_ += kPrompt;
        return Outcome::Stay;
    }
    std::string command = lowerCase(words[0]);
    if (command == "ld") {
        uint64_t address = 0;
        if (words.size() != 2 || !parseUnsigned(words[1], 16, address) ||
            address >= ControllerMemory::kSize) {
            out_ += std::string("-- usage: ld ADDRESS (hex, below 1E000)\r\n") + kPrompt;
            return Outcome::Stay;
        }
        imageAddress_ = static_cast<uint32_t>(address);
        image_.clear();
        imageBytes_ = 0;
        imageStarted_ = now;
        imageLastByte_ = -1;
        state_ = State::Receiving;
        out_ += "Ready..";
    } else if (command == "up") {
        uint64_t address = 0;
        uint64_t length = 0;
        if (words.size() != 3 || !parseUnsigned(words[1], 16, address) ||
            !parseUnsigned(words[2], 16, length) || length == 0 ||
            !ControllerMemory::contains(address, length)) {
            out_ += std::string("-- usage: up ADDRESS LENGTH (hex, inside 0..1E000)\r\n") + kPrompt;
            return Outcome::Stay;
        }
        uploadAddress_ = static_cast<uint32_t>(address);
        uploadLength_ = static_cast<uint32_t>(length);
        state_ = State::AwaitStart;
        out_ += "ready...";
    } else if (command == "app" || command == "go") {
        if (!memory_.firmwarePresent()) {
            out_ += std::string("-- no firmware to start\r\n") + kPrompt;
            return Outcome::Stay;
        }
        if (command == "app")
            out_ += "-- starting the firmware\r\n";
        return Outcome::StartFirmware;
    } else if (command == "help") {
        out_ += std::string("-- ld ADDR: receive an image ending with its 8-bit sum\r\n") +
                "-- up ADDR LEN: send memory after START is pressed\r\n-- app, go: start the firmware\r\n" +
                kPrompt;
    } else {
        out_ += "-- unknown command: " + line.substr(0, 40) + "\r\n" + kPrompt;
    }
    return Outcome::Stay;
}

void BootLoader::advance(int64_t now)
{
    if (auto due = nextDeadline(); due && now >= *due)
        finishImage();
}

std::optional<int64_t> BootLoader::nextDeadline() const
{
    if (state_ != State::Receiving)
        return std::nullopt;
    return imageLastByte_ >= 0 ? imageLastByte_ + kImageEndQuietMs : imageStarted_ + kImageStartTimeoutMs;
}

void BootLoader::pressStart()
{
    if (state_ != State::AwaitStart)
        return;
    out_.append(reinterpret_cast<const char*>(memory_.data() + uploadAddress_), uploadLength_);
    state_ = State::Prompt;
}

bool BootLoader::takeMemoryChanged()
{
    bool changed = memoryChanged_;
    memoryChanged_ = false;
    return changed;
}

void BootLoader::finishImage()
{
    state_ = State::Prompt;
    if (imageBytes_ == 0) {
        out_ += std::string("Fail: no image received\r\n") + kPrompt;
        return;
    }
    size_t length = imageBytes_ - 1; // the last byte is the sum of all before it
    uint8_t sum = 0;
    for (size_t i = 0; i < length && i < image_.size(); ++i)
        sum = static_cast<uint8_t>(sum + image_[i]);
    if (imageBytes_ > image_.size() || !ControllerMemory::contains(imageAddress_, length)) {
        out_ += std::string("Fail: image runs past the end of memory\r\n") + kPrompt;
    } else if (sum != image_[length]) {
        char text[96];
        std::snprintf(text, sizeof text, "Fail: checksum %02X, expected %02X; nothing written\r\n",
                      image_[length], sum);
        out_ += std::string(text) + kPrompt;
    } else {
        // A new program replaces the whole program area, so nothing of a longer one before it
        // is left behind its end.
        if (imageAddress_ == ControllerMemory::kProgram)
            memory_.eraseProgram();
        memory_.write(imageAddress_, image_.data(), length);
        memoryChanged_ = true;
        char text[96];
        std::snprintf(text, sizeof text, "Success: %zu bytes at %X\r\n", length, imageAddress_);
        out_ += std::string(text) + kPrompt;
    }
    image_.clear();
    image_.shrink_to_fit();
    imageBytes_ = 0;
}

} // namespace sim
