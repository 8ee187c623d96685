#include "sim/Controller.h"

#include "sim/CommandWords.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr char kConsolePrompt[] = " [KZ-7]> ";
const char* const kMenuNames[3] = {"Console", "Screen", "Running"};
constexpr int64_t kUpdateFirstMs = 400; // the servo image is checked before the first device
constexpr int64_t kUpdatePerDeviceMs = 120;

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
        if (lowerCase(name) == modeName(m))
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

bool Controller::takeMemoryChanged()
{
    return bootLoader_.takeMemoryChanged() || editor_->takeMemoryChanged();
}

void Controller::send(std::string_view bytes)
{
    out_.append(bytes);
}

// ---------------------------------------------------------------------------------------------
// Time and input

void Controller::advance(int64_t now)
{
    if (now > now_)
        now_ = now;
    if (!stalled() && faults_.holdingInput())
        receive(faults_.releaseInput());
    if (mode_ == Mode::Starting && now_ >= windowEnd_)
        bootFirmware();
    if (mode_ == Mode::BootLoader)
        bootLoader_.advance(now_);
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
        consider(faults_.stalledUntil());
    if (mode_ == Mode::Starting)
        consider(windowEnd_);
    if (mode_ == Mode::BootLoader)
        if (auto t = bootLoader_.nextDeadline())
            consider(*t);
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
    if (!faults_.listening())
        return;
    if (stalled()) {
        faults_.holdInput(data, count);
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
    send("\r\nKZ-7\r\n");
}

void Controller::powerOff()
{
    mode_ = Mode::Off;
    out_.clear();
    consoleLine_.clear();
    updating_ = false;
    faults_.powerOff();
    bootLoader_.reset();
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
    } else if (mode_ == Mode::BootLoader) {
        bootLoader_.pressStart();
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
    send("\r\n\r\nKZ-7 menu: TAB moves, Enter selects\r\n  0 Console\r\n  1 Screen\r\n  2 Running\r\n> ");
    send(std::to_string(menuEntry_) + " " + kMenuNames[menuEntry_]);
}

void Controller::menuByte(uint8_t byte)
{
    if (byte == '*') {
        if (++stars_ == 3) {
            // The probe's answer: the highlighted entry, twice, as raw bytes.
            const char answer[2] = {static_cast<char>(menuEntry_), static_cast<char>(menuEntry_)};
            send(std::string_view(answer, 2));
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
        send(std::string("\r> ") + std::to_string(menuEntry_) + " " + kMenuNames[menuEntry_] + "   ");
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
    consoleLine_.clear();
    updating_ = false;
    send("\r\nKZ-7 controller console [" + firmwareVersion() + "]\r\n" +
         " [help] commands: ver, update FROM TO, exit\r\n" + kConsolePrompt);
}

void Controller::consoleByte(uint8_t byte)
{
    if (updating_)
        return; // busy passing the image on
    std::string line;
    if (consoleLine_.edit(byte, line))
        consoleCommand(line);
}

// Every console line starts with " [" so that the reply to a bare carriage return always
// carries '[' as its fourth byte, whatever the line held.
void Controller::consoleCommand(const std::string& line)
{
    std::vector<std::string> words = splitWords(line);
    if (words.empty() || onlyProbeBytes(line)) {
        send(kConsolePrompt);
        return;
    }
    std::string command = lowerCase(words[0]);
    if (command == "exit") {
        enterMenu();
    } else if (command == "ver") {
        send(" [version] " + firmwareVersion() + "\r\n" + kConsolePrompt);
    } else if (command == "help") {
        send(std::string(" [help] ver: firmware version\r\n") +
             " [help] update FROM TO: pass the servo image at C000 to bus IDs FROM..TO\r\n" +
             " [help] exit: back to the menu\r\n" + kConsolePrompt);
    } else if (command == "update") {
        uint64_t from = 0;
        uint64_t to = 0;
        if (words.size() != 3 || !parseUnsigned(words[1], 10, from) || !parseUnsigned(words[2], 10, to) ||
            from > to || to > 253) {
            send(std::string(" [error] usage: update FROM TO (bus IDs 0..253)\r\n") + kConsolePrompt);
            return;
        }
        if (!memory_.servoImagePresent()) {
            send(std::string(" [error] no servo image at C000: download one first\r\n") + kConsolePrompt);
            return;
        }
        updateIds_.clear();
        for (uint64_t id = from; id <= to; ++id)
            if ((id < kJointRows && joints_.present[id]) || joints_.sensors[id])
                updateIds_.push_back(static_cast<int>(id));
        updateNext_ = 0;
        updating_ = true;
        updateDue_ = now_ + kUpdateFirstMs;
        send(" [update] servo image found, " + std::to_string(updateIds_.size()) + " device(s) in " +
             std::to_string(from) + ".." + std::to_string(to) + "\r\n");
    } else {
        send(" [error] unknown command: " + line.substr(0, 40) + "\r\n" + kConsolePrompt);
    }
}

void Controller::updateStep()
{
    if (updateNext_ < updateIds_.size()) {
        send(" [update] ID " + std::to_string(updateIds_[updateNext_++]) + " ... done\r\n");
        updateDue_ = now_ + kUpdatePerDeviceMs;
        return;
    }
    updating_ = false;
    send(" [update] finished, " + std::to_string(updateIds_.size()) + " device(s) updated <\r\n" +
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
    hashes_ = 0;
    bootLoader_.enter();
}

void Controller::loaderByte(uint8_t byte)
{
    if (bootLoader_.input(byte, now_) == BootLoader::Outcome::StartFirmware) {
        menuEntry_ = 0; // the firmware starts afresh, with its first entry highlighted
        enterMenu();
    }
}

// ---------------------------------------------------------------------------------------------
// Output and control

std::string Controller::takeOutput(size_t maxBytes)
{
    return faults_.take(maxBytes, now_);
}

std::string Controller::stateLine() const
{
    return std::string("mode=") + modeName(mode_) + " " + running_.stateLine();
}

namespace {

// One control-channel command: its name and the controller's handler for it.
struct ControlCommand {
    const char* name;
    bool (Controller::*run)(const std::vector<std::string>& words, std::string& why, std::string* reply);
};

// A count argument ("drop 3"): the command's only word after its name, decimal.
bool countArgument(const std::vector<std::string>& words, long& value)
{
    uint64_t v = 0;
    if (words.size() != 2 || !parseUnsigned(words[1], 10, v))
        return false;
    value = static_cast<long>(v);
    return true;
}

} // namespace

bool Controller::control(std::string_view line, std::string* error, std::string* reply)
{
    // clang-format off
    static const ControlCommand kCommands[] = {
        {"power",  &Controller::powerCommand},
        {"press",  &Controller::pressCommand},
        {"stall",  &Controller::stallCommand},
        {"drop",   &Controller::dropCommand},
        {"garble", &Controller::garbleCommand},
        {"vanish", &Controller::vanishCommand},
        {"silent", &Controller::silentCommand},
        {"dump",   &Controller::dumpCommand},
    };
    // clang-format on
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    const Words words = splitWords(line);
    if (words.empty())
        return fail("empty command");
    const std::string command = lowerCase(words[0]);
    std::string why;
    for (const ControlCommand& c : kCommands)
        if (command == c.name && (this->*c.run)(words, why, reply))
            return why.empty() ? true : fail(why);
    // What the controller does not take is for the robot the program runs on.
    if (running_.control(words, why))
        return why.empty() ? true : fail(why);
    return fail("unknown control command: " + std::string(line.substr(0, 60)));
}

bool Controller::powerCommand(const Words& words, std::string&, std::string*)
{
    const std::string argument = words.size() == 2 ? lowerCase(words[1]) : std::string();
    if (argument == "on")
        powerOn();
    else if (argument == "off")
        powerOff();
    else
        return false;
    return true;
}

bool Controller::pressCommand(const Words& words, std::string&, std::string*)
{
    const std::string argument = words.size() == 2 ? lowerCase(words[1]) : std::string();
    if (argument != "start" && argument != "mode")
        return false;
    if (silent())
        return true;
    if (argument == "start" && mode_ == Mode::Running)
        running_.setButton(RunningState::kButtonStart, true); // held until released
    else if (argument == "start")
        pressStart();
    else
        pressMode();
    return true;
}

bool Controller::stallCommand(const Words& words, std::string&, std::string*)
{
    long ms = 0;
    if (!countArgument(words, ms))
        return false;
    faults_.stallFor(now_, ms);
    return true;
}

bool Controller::dropCommand(const Words& words, std::string&, std::string*)
{
    long bytes = 0;
    if (!countArgument(words, bytes))
        return false;
    faults_.drop(bytes);
    return true;
}

bool Controller::garbleCommand(const Words& words, std::string&, std::string*)
{
    long bytes = 0;
    if (!countArgument(words, bytes))
        return false;
    faults_.garble(bytes);
    return true;
}

bool Controller::vanishCommand(const Words& words, std::string&, std::string*)
{
    long bytes = 0;
    if (!countArgument(words, bytes))
        return false;
    faults_.vanishAfter(bytes);
    return true;
}

bool Controller::silentCommand(const Words& words, std::string&, std::string*)
{
    if (words.size() != 1)
        return false;
    faults_.silence();
    return true;
}

// "dump" answers with the state line; "dump FILE" writes it, with a newline, into FILE.
bool Controller::dumpCommand(const Words& words, std::string& why, std::string* reply)
{
    if (words.size() > 2)
        return false;
    std::string state = stateLine();
    if (words.size() == 2) {
        std::string text = state + "\n";
        const platform::AtomicWriteResult written = platform::writeFileAtomically(
            words[1], std::vector<uint8_t>(text.begin(), text.end()), platform::FilePermissions{0644, false});
        if (!written)
            why = "cannot write the state to " + words[1];
    } else if (reply) {
        *reply = state;
    }
    return true;
}

} // namespace sim
