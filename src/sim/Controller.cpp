#include "sim/Controller.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr uint8_t kEsc = 27;
constexpr char kConsolePrompt[] = " [KZ-7]> ";
constexpr char kLoaderPrompt[] = "--> ";
const char* const kMenuNames[3] = {"Console", "Screen", "Running"};
constexpr int64_t kUpdateFirstMs = 400; // the servo image is checked before the first device
constexpr int64_t kUpdatePerDeviceMs = 120;

std::vector<std::string> split(std::string_view line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

bool parseUnsigned(const std::string& text, int base, uint64_t& value)
{
    if (text.empty() || text.size() > 8)
        return false;
    uint64_t v = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    value = v;
    return true;
}

std::string lower(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Lines that hold nothing but the PC's probe and wake-up characters are no commands.
bool onlyProbeBytes(const std::string& line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == '*' || c == '#' || c == ' '; });
}

} // namespace

const char* modeName(Mode mode)
{
    switch (mode) {
    case Mode::Off:
        return "off";
    case Mode::Starting:
        return "starting";
    case Mode::Halted:
        return "halted";
    case Mode::Menu:
        return "menu";
    case Mode::Console:
        return "console";
    case Mode::Screen:
        return "screen";
    case Mode::Running:
        return "running";
    case Mode::BootLoader:
        return "bootloader";
    }
    return "?";
}

std::optional<Mode> modeFromName(std::string_view name)
{
    for (Mode m : {Mode::Menu, Mode::Console, Mode::Screen, Mode::Running, Mode::BootLoader})
        if (lower(name) == modeName(m))
            return m;
    return std::nullopt;
}

Controller::Controller(ControllerMemory& memory, JointTable joints)
    : memory_(memory), joints_(std::move(joints)),
      editor_(std::make_unique<ScreenEditor>(memory_, joints_, out_))
{
}

void Controller::start(int64_t now, bool poweredOn, Mode mode)
{
    now_ = now;
    mode_ = Mode::Off;
    if (!poweredOn)
        return;
    // The menu remembers the entry that led to the mode, as if it had been chosen there.
    menuEntry_ = mode == Mode::Screen ? 1 : mode == Mode::Running ? 2 : 0;
    switch (mode) {
    case Mode::Console:
        enterConsole();
        break;
    case Mode::Screen:
        enterScreen();
        break;
    case Mode::Running:
        enterRunning();
        break;
    case Mode::BootLoader:
        enterBootLoader();
        break;
    default:
        enterMenu();
        break;
    }
    // Nobody listens yet: what entering the mode printed is not sent.
    out_.clear();
}

std::string Controller::firmwareVersion() const
{
    char text[64];
    std::snprintf(text, sizeof text, "KZ-7 firmware 1.30, image %04X", memory_.firmwareSignature());
    return text;
}

std::string Controller::bootLoaderVersion()
{
    return "KZ-7 boot loader 2.04";
}

bool Controller::takeMemoryChanged()
{
    bool changed = memoryChanged_ || editor_->takeMemoryChanged();
    memoryChanged_ = false;
    return changed;
}

void Controller::emit(std::string_view bytes)
{
    out_.append(bytes);
}

// ---------------------------------------------------------------------------------------------
// Time and input

void Controller::advance(int64_t now)
{
    if (now > now_)
        now_ = now;
    if (!stalled() && !stalledInput_.empty()) {
        std::string held;
        held.swap(stalledInput_);
        receive(held);
    }
    if (mode_ == Mode::Starting && now_ >= windowEnd_)
        bootFirmware();
    if (mode_ == Mode::BootLoader && loader_ == LoaderState::Receiving) {
        bool started = imageLastByte_ >= 0;
        if ((started && now_ >= imageLastByte_ + kImageEndQuietMs) ||
            (!started && now_ >= imageStarted_ + kImageStartTimeoutMs))
            finishImage();
    }
    if (mode_ == Mode::Console && updating_) {
        int guard = 0;
        while (updating_ && now_ >= updateDue_ && guard++ < 300)
            updateStep();
    }
    if (mode_ == Mode::Running)
        running_.advance(now_);
    // A running program plays motion pages through the editor too.
    if (mode_ == Mode::Screen || mode_ == Mode::Running)
        editor_->advance(now_);
    if (out_.size() > kMaxPendingOutput) // nobody reads: the oldest bytes are lost, as on a line
        out_.erase(0, out_.size() - kMaxPendingOutput);
}

std::optional<int64_t> Controller::nextDeadline() const
{
    std::optional<int64_t> next;
    auto consider = [&](int64_t t) {
        if (!next || t < *next)
            next = t;
    };
    if (stalled())
        consider(stallUntil_);
    if (mode_ == Mode::Starting)
        consider(windowEnd_);
    if (mode_ == Mode::BootLoader && loader_ == LoaderState::Receiving)
        consider(imageLastByte_ >= 0 ? imageLastByte_ + kImageEndQuietMs
                                     : imageStarted_ + kImageStartTimeoutMs);
    if (mode_ == Mode::Console && updating_)
        consider(updateDue_);
    if (mode_ == Mode::Running)
        if (auto t = running_.nextDeadline())
            consider(*t);
    if (mode_ == Mode::Screen || mode_ == Mode::Running)
        if (auto t = editor_->nextDeadline())
            consider(*t);
    return next;
}

void Controller::receive(const uint8_t* data, size_t count)
{
    if (silent_ || vanished_)
        return;
    if (stalled()) {
        // A stalled controller takes nothing in; the bytes wait on the line.
        stalledInput_.append(reinterpret_cast<const char*>(data), count);
        return;
    }
    for (size_t i = 0; i < count; ++i)
        process(data[i]);
}

void Controller::process(uint8_t byte)
{
    switch (mode_) {
    case Mode::Off:
    case Mode::Halted:
        return;
    case Mode::Starting:
        if (byte == '#') {
            if (++hashes_ >= kHashesForBootLoader)
                enterBootLoader();
        } else {
            hashes_ = 0;
        }
        return;
    case Mode::Menu:
        menuByte(byte);
        return;
    case Mode::Console:
        consoleByte(byte);
        return;
    case Mode::Screen:
        editor_->input(byte, now_);
        if (editor_->takeExit())
            enterMenu();
        return;
    case Mode::Running:
        runningByte(byte);
        return;
    case Mode::BootLoader:
        loaderByte(byte);
        return;
    }
}

// ---------------------------------------------------------------------------------------------
// Power and buttons

void Controller::powerOn()
{
    powerOff();
    mode_ = Mode::Starting;
    hashes_ = 0;
    menuEntry_ = 0;
    windowEnd_ = now_ + kPowerOnWindowMs;
    emit("\r\nKZ-7\r\n");
}

void Controller::powerOff()
{
    mode_ = Mode::Off;
    out_.clear();
    line_.clear();
    updating_ = false;
    silent_ = false;
    stalledInput_.clear();
    loader_ = LoaderState::Prompt;
    image_.clear();
    running_.reset();
    // The editor's working page and the robot's pose do not survive a power cycle.
    editor_ = std::make_unique<ScreenEditor>(memory_, joints_, out_);
}

void Controller::bootFirmware()
{
    if (!memory_.firmwarePresent()) {
        // Without firmware only the boot loader at power-on answers.
        mode_ = Mode::Halted;
        return;
    }
    enterMenu();
}

void Controller::pressStart()
{
    if (mode_ == Mode::Menu) {
        menuByte('\r');
    } else if (mode_ == Mode::BootLoader && loader_ == LoaderState::AwaitStart) {
        emit(std::string_view(reinterpret_cast<const char*>(memory_.data() + uploadAddress_), uploadLength_));
        loader_ = LoaderState::Prompt;
    }
}

void Controller::pressMode()
{
    switch (mode_) {
    case Mode::Menu:
        menuByte('\t');
        break;
    case Mode::Console:
    case Mode::Screen:
    case Mode::Running:
    case Mode::BootLoader:
        bootFirmware();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Menu

void Controller::enterMenu()
{
    if (mode_ == Mode::Running)
        running_.leave();
    mode_ = Mode::Menu;
    stars_ = 0;
    hashes_ = 0;
    emit("\r\n\r\nKZ-7 menu: TAB moves, Enter selects\r\n  0 Console\r\n  1 Screen\r\n  2 Running\r\n> ");
    emit(std::to_string(menuEntry_) + " " + kMenuNames[menuEntry_]);
}

void Controller::menuByte(uint8_t byte)
{
    if (byte == '*') {
        if (++stars_ == 3) {
            // The probe's answer: the highlighted entry, twice, as raw bytes.
            const char answer[2] = {static_cast<char>(menuEntry_), static_cast<char>(menuEntry_)};
            emit(std::string_view(answer, 2));
            stars_ = 0;
        }
        hashes_ = 0;
        return;
    }
    stars_ = 0;
    if (byte == '#') {
        if (++hashes_ >= kHashesForBootLoader)
            enterBootLoader();
        return;
    }
    hashes_ = 0;
    if (byte == '\t') {
        menuEntry_ = (menuEntry_ + 1) % 3;
        emit(std::string("\r> ") + std::to_string(menuEntry_) + " " + kMenuNames[menuEntry_] + "   ");
    } else if (byte == '\r') {
        switch (menuEntry_) {
        case 0:
            enterConsole();
            break;
        case 1:
            enterScreen();
            break;
        default:
            enterRunning();
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Console

void Controller::enterConsole()
{
    mode_ = Mode::Console;
    line_.clear();
    updating_ = false;
    emit("\r\nKZ-7 controller console [" + firmwareVersion() + "]\r\n" +
         " [help] commands: ver, update FROM TO, exit\r\n" + kConsolePrompt);
}

void Controller::consoleByte(uint8_t byte)
{
    if (updating_)
        return; // busy passing the image on
    std::string line;
    if (editLine(byte, EchoPastEnd::No, line))
        consoleCommand(line);
}

bool Controller::editLine(uint8_t byte, EchoPastEnd echoPastEnd, std::string& finished)
{
    if (byte == '\r') {
        finished.swap(line_);
        line_.clear();
        emit("\r\n");
        return true;
    }
    if (byte == 8 || byte == 127) {
        if (!line_.empty()) {
            line_.pop_back();
            emit("\b \b");
        }
        return false;
    }
    if (byte >= 32 && byte <= 126) {
        const bool fits = line_.size() < kLineLength;
        if (fits)
            line_.push_back(static_cast<char>(byte));
        if (fits || echoPastEnd == EchoPastEnd::Yes)
            emit(std::string_view(reinterpret_cast<const char*>(&byte), 1));
    }
    return false;
}

// Every console line starts with " [" so that the reply to a bare carriage return always
// carries '[' as its fourth byte, whatever the line held.
void Controller::consoleCommand(const std::string& line)
{
    std::vector<std::string> words = split(line);
    if (words.empty() || onlyProbeBytes(line)) {
        emit(kConsolePrompt);
        return;
    }
    std::string command = lower(words[0]);
    if (command == "exit") {
        enterMenu();
    } else if (command == "ver") {
        emit(" [version] " + firmwareVersion() + "\r\n" + kConsolePrompt);
    } else if (command == "help") {
        emit(std::string(" [help] ver: firmware version\r\n") +
             " [help] update FROM TO: pass the servo image at C000 to bus IDs FROM..TO\r\n" +
             " [help] exit: back to the menu\r\n" + kConsolePrompt);
    } else if (command == "update") {
        uint64_t from = 0;
        uint64_t to = 0;
        if (words.size() != 3 || !parseUnsigned(words[1], 10, from) || !parseUnsigned(words[2], 10, to) ||
            from > to || to > 253) {
            emit(std::string(" [error] usage: update FROM TO (bus IDs 0..253)\r\n") + kConsolePrompt);
            return;
        }
        if (!memory_.servoImagePresent()) {
            emit(std::string(" [error] no servo image at C000: download one first\r\n") + kConsolePrompt);
            return;
        }
        updateIds_.clear();
        for (uint64_t id = from; id <= to; ++id)
            if ((id < kJointRows && joints_.present[id]) || joints_.sensors[id])
                updateIds_.push_back(static_cast<int>(id));
        updateNext_ = 0;
        updating_ = true;
        updateDue_ = now_ + kUpdateFirstMs;
        emit(" [update] servo image found, " + std::to_string(updateIds_.size()) + " device(s) in " +
             std::to_string(from) + ".." + std::to_string(to) + "\r\n");
    } else {
        emit(" [error] unknown command: " + line.substr(0, 40) + "\r\n" + kConsolePrompt);
    }
}

void Controller::updateStep()
{
    if (updateNext_ < updateIds_.size()) {
        emit(" [update] ID " + std::to_string(updateIds_[updateNext_++]) + " ... done\r\n");
        updateDue_ = now_ + kUpdatePerDeviceMs;
        return;
    }
    updating_ = false;
    emit(" [update] finished, " + std::to_string(updateIds_.size()) + " device(s) updated <\r\n" +
         kConsolePrompt);
}

// ---------------------------------------------------------------------------------------------
// Screen

void Controller::enterScreen()
{
    mode_ = Mode::Screen;
    editor_->enter(now_);
}

// ---------------------------------------------------------------------------------------------
// Running

void Controller::enterRunning()
{
    mode_ = Mode::Running;
    burst_ = 0;
    running_.enter(memory_, now_);
}

void Controller::runningByte(uint8_t byte)
{
    if (byte != 0x55) {
        burst_ = 0;
        return;
    }
    if (++burst_ >= kBurstForMenu)
        enterMenu();
}

// ---------------------------------------------------------------------------------------------
// Boot loader

void Controller::enterBootLoader()
{
    mode_ = Mode::BootLoader;
    loader_ = LoaderState::Prompt;
    line_.clear();
    hashes_ = 0;
    emit("\r\nKZ-7 boot loader (" + bootLoaderVersion() + ")\r\n" + kLoaderPrompt);
}

void Controller::loaderByte(uint8_t byte)
{
    if (loader_ == LoaderState::Receiving) {
        if (imageBytes_ < ControllerMemory::kSize + 1)
            image_.push_back(byte);
        ++imageBytes_;
        imageLastByte_ = now_;
        return;
    }
    if (loader_ == LoaderState::AwaitStart) {
        if (byte == kEsc) {
            loader_ = LoaderState::Prompt;
            emit(std::string("\r\n-- upload cancelled\r\n") + kLoaderPrompt);
        }
        return;
    }
    std::string line;
    if (editLine(byte, EchoPastEnd::Yes, line))
        loaderCommand(line);
}

// Every boot-loader line starts with "--" (or is one of the transfer answers), so the reply to
// a bare carriage return carries '-' as its fourth byte.
void Controller::loaderCommand(const std::string& line)
{
    std::vector<std::string> words = split(line);
    if (words.empty() || onlyProbeBytes(line)) {
        emit(kLoaderPrompt);
        return;
    }
    std::string command = lower(words[0]);
    if (command == "ld") {
        uint64_t address = 0;
        if (words.size() != 2 || !parseUnsigned(words[1], 16, address) ||
            address >= ControllerMemory::kSize) {
            emit(std::string("-- usage: ld ADDRESS (hex, below 1E000)\r\n") + kLoaderPrompt);
            return;
        }
        imageAddress_ = static_cast<uint32_t>(address);
        image_.clear();
        imageBytes_ = 0;
        imageStarted_ = now_;
        imageLastByte_ = -1;
        loader_ = LoaderState::Receiving;
        emit("Ready..");
    } else if (command == "up") {
        uint64_t address = 0;
        uint64_t length = 0;
        if (words.size() != 3 || !parseUnsigned(words[1], 16, address) ||
            !parseUnsigned(words[2], 16, length) || length == 0 ||
            !ControllerMemory::contains(address, length)) {
            emit(std::string("-- usage: up ADDRESS LENGTH (hex, inside 0..1E000)\r\n") + kLoaderPrompt);
            return;
        }
        uploadAddress_ = static_cast<uint32_t>(address);
        uploadLength_ = static_cast<uint32_t>(length);
        loader_ = LoaderState::AwaitStart;
        emit("ready...");
    } else if (command == "app" || command == "go") {
        if (!memory_.firmwarePresent()) {
            emit(std::string("-- no firmware to start\r\n") + kLoaderPrompt);
            return;
        }
        if (command == "app")
            emit("-- starting the firmware\r\n");
        menuEntry_ = 0; // the firmware starts afresh, with its first entry highlighted
        enterMenu();
    } else if (command == "help") {
        emit(std::string("-- ld ADDR: receive an image ending with its 8-bit sum\r\n") +
             "-- up ADDR LEN: send memory after START is pressed\r\n-- app, go: start the firmware\r\n" +
             kLoaderPrompt);
    } else {
        emit("-- unknown command: " + line.substr(0, 40) + "\r\n" + kLoaderPrompt);
    }
}

void Controller::finishImage()
{
    loader_ = LoaderState::Prompt;
    if (imageBytes_ == 0) {
        emit(std::string("Fail: no image received\r\n") + kLoaderPrompt);
        return;
    }
    size_t length = imageBytes_ - 1; // the last byte is the sum of all before it
    uint8_t sum = 0;
    for (size_t i = 0; i < length && i < image_.size(); ++i)
        sum = static_cast<uint8_t>(sum + image_[i]);
    if (imageBytes_ > image_.size() || !ControllerMemory::contains(imageAddress_, length)) {
        emit(std::string("Fail: image runs past the end of memory\r\n") + kLoaderPrompt);
    } else if (sum != image_[length]) {
        char text[96];
        std::snprintf(text, sizeof text, "Fail: checksum %02X, expected %02X; nothing written\r\n",
                      image_[length], sum);
        emit(std::string(text) + kLoaderPrompt);
    } else {
        // A new program replaces the whole program area, so nothing of a longer one before it
        // is left behind its end.
        if (imageAddress_ == ControllerMemory::kProgram)
            memory_.eraseProgram();
        memory_.write(imageAddress_, image_.data(), length);
        memoryChanged_ = true;
        char text[96];
        std::snprintf(text, sizeof text, "Success: %zu bytes at %X\r\n", length, imageAddress_);
        emit(std::string(text) + kLoaderPrompt);
    }
    image_.clear();
    image_.shrink_to_fit();
    imageBytes_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Output and control

std::string Controller::takeOutput(size_t maxBytes)
{
    std::string sent;
    if (silent_ || vanished_) {
        out_.clear();
        return sent;
    }
    if (stalled() || out_.empty() || maxBytes == 0)
        return sent;
    size_t take = std::min(maxBytes, out_.size());
    if (vanishAfter_ >= 0)
        take = std::min(take, static_cast<size_t>(vanishAfter_));
    sent.reserve(take);
    for (size_t i = 0; i < take; ++i) {
        auto byte = static_cast<uint8_t>(out_[i]);
        if (dropCount_ > 0) {
            --dropCount_;
            continue;
        }
        if (garbleCount_ > 0) {
            --garbleCount_;
            byte ^= 0xA5;
        }
        sent.push_back(static_cast<char>(byte));
    }
    out_.erase(0, take);
    if (vanishAfter_ >= 0) {
        vanishAfter_ -= static_cast<long>(take);
        if (vanishAfter_ == 0) {
            vanished_ = true;
            out_.clear();
        }
    }
    return sent;
}

std::string Controller::stateLine() const
{
    return std::string("mode=") + modeName(mode_) + " " + running_.stateLine();
}

bool Controller::control(std::string_view line, std::string* error, std::string* reply)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    std::vector<std::string> words = split(line);
    if (words.empty())
        return fail("empty command");
    std::string command = lower(words[0]);
    std::string argument = words.size() > 1 ? lower(words[1]) : std::string();
    auto count = [&](long& value) {
        uint64_t v = 0;
        if (words.size() != 2 || !parseUnsigned(words[1], 10, v))
            return false;
        value = static_cast<long>(v);
        return true;
    };
    if (command == "power" && words.size() == 2 && (argument == "on" || argument == "off")) {
        if (argument == "on")
            powerOn();
        else
            powerOff();
        return true;
    }
    if (command == "press" && words.size() == 2 && (argument == "start" || argument == "mode")) {
        if (!silent_) {
            if (argument == "start" && mode_ == Mode::Running)
                running_.setButton(RunningState::kButtonStart, true); // held until released
            else if (argument == "start")
                pressStart();
            else
                pressMode();
        }
        return true;
    }
    long value = 0;
    if (command == "stall" && count(value)) {
        stallUntil_ = now_ + value;
        return true;
    }
    if (command == "drop" && count(value)) {
        dropCount_ = value;
        return true;
    }
    if (command == "garble" && count(value)) {
        garbleCount_ = value;
        return true;
    }
    if (command == "vanish" && count(value)) {
        vanishAfter_ = value;
        if (value == 0) {
            vanished_ = true;
            out_.clear();
        }
        return true;
    }
    if (command == "silent" && words.size() == 1) {
        silent_ = true;
        out_.clear();
        return true;
    }
    if (command == "dump" && words.size() <= 2) {
        std::string state = stateLine();
        if (words.size() == 2) {
            std::string text = state + "\n";
            const platform::AtomicWriteResult written =
                platform::writeFileAtomically(words[1], std::vector<uint8_t>(text.begin(), text.end()),
                                              platform::FilePermissions{0644, false});
            if (!written)
                return fail("cannot write the state to " + words[1]);
        } else if (reply) {
            *reply = state;
        }
        return true;
    }
    std::string why;
    if (running_.control(words, why))
        return why.empty() ? true : fail(why);
    return fail("unknown control command: " + std::string(line.substr(0, 60)));
}

} // namespace sim
