#include "sim/RunningState.h"

#include "sim/CommandWords.h"
#include "sim/ScreenEditor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

struct ButtonName {
    const char* word;
    const char* letter;
    int bit;
};
constexpr ButtonName kButtons[] = {
    {"up", "u", RunningState::kButtonUp},       {"down", "d", RunningState::kButtonDown},
    {"left", "l", RunningState::kButtonLeft},   {"right", "r", RunningState::kButtonRight},
    {"start", "s", RunningState::kButtonStart},
};

// Decimal, or hexadecimal after "0x"; within low..high.
bool parseNumber(const std::string& text, long low, long high, long& value)
{
    if (text.empty() || text.size() > 12)
        return false;
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    long v = std::strtol(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    const char first = text[hex ? 2 : 0];
    if (*end != '\0' || !(std::isxdigit(static_cast<unsigned char>(first)) || (!hex && first == '-')) ||
        v < low || v > high)
        return false;
    value = v;
    return true;
}

int key(int id, int address)
{
    return id * 256 + address;
}

} // namespace

RunningState::RunningState(const JointTable& joints, const std::unique_ptr<ScreenEditor>& editor,
                           std::string& out)
    : joints_(joints), editor_(editor), out_(out)
{
}

void RunningState::enter(const ControllerMemory& memory, int64_t now)
{
    now_ = now;
    active_ = true;
    reported_ = false;
    auxLed_ = 0;
    timer_ = 0;
    motionPage_ = 0;
    txRemocon_ = 0;
    size_t size = memory.programSize();
    noProgram_ = size == 0;
    heartbeat_ = 0;
    heartbeatDue_ = now + 1000;
    if (noProgram_) {
        interpreter_.stop();
        out_ += "Running: no behaviour program loaded\r\n";
        return;
    }
    out_ += "Running: behaviour program of " + std::to_string(size) + " bytes started\r\n";
    interpreter_.load(memory.data() + ControllerMemory::kProgram,
                      ControllerMemory::kServoImage - ControllerMemory::kProgram);
    lastRun_ = now; // the first slice runs one slice later
    reportProgramEnd();
}

void RunningState::leave()
{
    active_ = false;
    interpreter_.stop();
    if (editor_->playing())
        editor_->stopPlay();
}

void RunningState::reset()
{
    leave();
    buttons_ = 0;
    auxLed_ = timer_ = motionPage_ = txRemocon_ = rxRemocon_ = otherRobotId_ = myRobotId_ = 0;
    rxArrived_ = false;
}

void RunningState::reportProgramEnd()
{
    if (reported_ || interpreter_.state() != Interpreter::State::Failed)
        return;
    reported_ = true;
    // Whatever is waiting to go out, the error line is never held back.
    out_ += "Program error " + interpreter_.error() + ". The program is stopped.\r\n";
}

void RunningState::advance(int64_t now)
{
    now_ = std::max(now_, now);
    if (!active_)
        return;
    if (noProgram_) {
        if (now_ >= heartbeatDue_) {
            out_ += "Running: no behaviour program loaded (tick " + std::to_string(++heartbeat_) + ")\r\n";
            heartbeatDue_ = now_ + 1000;
        }
        return;
    }
    if (hook_ && hook_->holding() && interpreter_.runnable()) {
        timerSetAt_ += now_ - lastRun_;
        lastRun_ = now_;
        return;
    }
    if (!interpreter_.runnable() || now_ - lastRun_ < kSliceMs)
        return;
    int64_t elapsed = std::min(now_ - lastRun_, kMaxCatchUpMs);
    lastRun_ = now_;
    interpreter_.run(*this, static_cast<size_t>(elapsed * kLinesPerMs));
    reportProgramEnd();
}

std::optional<int64_t> RunningState::nextDeadline() const
{
    if (!active_)
        return std::nullopt;
    if (noProgram_)
        return heartbeatDue_;
    if (interpreter_.runnable())
        return lastRun_ + kSliceMs;
    return std::nullopt;
}

void RunningState::setButton(int bit, bool down)
{
    buttons_ = down ? (buttons_ | bit) : (buttons_ & ~bit);
}

bool RunningState::control(const std::vector<std::string>& words, std::string& error)
{
    const std::string command = lowerCase(words[0]);
    if (command == "press" || command == "release") {
        if (words.size() != 2)
            return false;
        const std::string name = lowerCase(words[1]);
        for (const ButtonName& b : kButtons)
            if (name == b.word || name == b.letter) {
                setButton(b.bit, command == "press");
                return true;
            }
        return false;
    }
    if (command == "sensor") {
        long id = 0, address = 0, value = 0;
        if (words.size() != 4 || !parseNumber(words[1], 0, 253, id) ||
            !parseNumber(words[2], 0, 255, address) || !parseNumber(words[3], -32768, 65535, value)) {
            error =
                "usage: sensor ID ADDRESS VALUE (ID 0..253, address 0..255 or 0x00..0xff, value 0..65535)";
            return true;
        }
        if (!isSensor(static_cast<int>(id))) {
            error = "no sensor module " + std::to_string(id) + " on the bus (see --sensors)";
            return true;
        }
        devices_[key(static_cast<int>(id), static_cast<int>(address))] = static_cast<int16_t>(value);
        return true;
    }
    if (command == "remocon") {
        long value = 0;
        if (words.size() != 2 || !parseNumber(words[1], -32768, 65535, value)) {
            error = "usage: remocon VALUE (0..65535)";
            return true;
        }
        rxRemocon_ = static_cast<int16_t>(value);
        rxArrived_ = true;
        return true;
    }
    return false;
}

int16_t RunningState::deviceRegister(int id, int address) const
{
    auto it = devices_.find(key(id, address));
    return it == devices_.end() ? int16_t{0} : it->second;
}

bool RunningState::isJoint(int id) const
{
    return id >= 0 && id < kJointRows && joints_.present[id];
}

bool RunningState::isSensor(int id) const
{
    return id >= 0 && id < static_cast<int>(joints_.sensors.size()) && joints_.sensors[id] && !isJoint(id);
}

int16_t RunningState::timerValue() const
{
    if (timer_ <= 0)
        return timer_;
    int64_t ticks = (now_ - timerSetAt_) / kTimerTickMs;
    return static_cast<int16_t>(std::max<int64_t>(0, timer_ - ticks));
}

int16_t RunningState::read(int id, int address)
{
    if (id == kControllerId)
        return readController(address);
    if (isJoint(id)) {
        if (address == kPresentPosition)
            return static_cast<int16_t>(editor_->currentValue(id));
        if (address == kMovingFlag)
            return editor_->playing() ? 1 : 0;
        if (address == kGoalPosition && !devices_.count(key(id, address)))
            return read(id, kPresentPosition);
        return deviceRegister(id, address);
    }
    if (isSensor(id))
        return deviceRegister(id, address);
    return 0; // nobody answers
}

bool RunningState::write(int id, int address, int16_t value)
{
    if (id == kControllerId)
        return writeController(address, value);
    if (id == Interpreter::kBroadcastId) {
        for (int joint = 0; joint < kJointRows; ++joint)
            if (isJoint(joint))
                write(joint, address, value);
        return true;
    }
    if (isJoint(id)) {
        if (address == kPresentPosition || address == kMovingFlag)
            return true; // read-only
        if (address == kGoalPosition) {
            value = static_cast<int16_t>(std::clamp<int>(value, 0, kMaxJointValue));
            editor_->moveJoint(id, value);
        }
        devices_[key(id, address)] = value;
    } else if (isSensor(id)) {
        devices_[key(id, address)] = value;
    }
    return true;
}

int16_t RunningState::readController(int address)
{
    switch (address) {
    case MotionPlayPage:
        return motionPage_; // the page last asked for
    case MotionPlayStatus:
        return editor_->playing() ? 1 : 0;
    case TxRemocon:
        return txRemocon_;
    case RxRemocon:
        rxArrived_ = false; // taken
        return rxRemocon_;
    case RxRemoconArrived:
        return rxArrived_ ? 1 : 0;
    case AuxLed:
        return auxLed_;
    case Button:
        return static_cast<int16_t>(buttons_);
    case Timer:
        return timerValue();
    case OtherRobotId:
        return otherRobotId_;
    case MyRobotId:
        return myRobotId_;
    default:
        return 0;
    }
}

bool RunningState::writeController(int address, int16_t value)
{
    switch (address) {
    case MotionPlayPage:
        if (value == 0) {
            if (editor_->playing())
                editor_->input(27, now_); // as ESC stops it: through the exit page
        } else if (value >= 1 && value <= kMaxPageNumber) {
            // A loop that keeps asking for the page it is playing does not restart it.
            if (!(editor_->playing() && motionPage_ == value))
                editor_->playUnpainted(value, now_);
            motionPage_ = value;
        }
        return true;
    case TxRemocon:
        txRemocon_ = value;
        return true;
    case AuxLed:
        auxLed_ = value;
        return true;
    case Timer:
        timer_ = value;
        timerSetAt_ = now_;
        return true;
    case OtherRobotId:
        otherRobotId_ = value;
        return true;
    case MyRobotId:
        myRobotId_ = value;
        return true;
    case Print:
    case PrintLine:
        if (out_.size() >= kOutputRoom)
            return false; // the line is busy: the program waits
        out_ += std::to_string(value);
        if (address == PrintLine)
            out_ += "\r\n";
        return true;
    default:
        return true; // read-only or no such register
    }
}

std::string RunningState::stateLine() const
{
    static const char* const kStates[] = {"none", "running", "ended", "failed"};
    const char* program = !active_     ? "stopped"
                          : noProgram_ ? "none"
                                       : kStates[static_cast<int>(interpreter_.state())];
    char head[160];
    std::snprintf(head, sizeof head,
                  "program=%s at=%04X lines=%llu aux=%d buttons=%d timer=%d page=%d playing=%d tx=%d",
                  program, interpreter_.position(), static_cast<unsigned long long>(interpreter_.linesRun()),
                  auxLed_, buttons_, timerValue(), motionPage_, editor_->playing() ? 1 : 0, txRemocon_);
    std::string line = head;
    int last = -1;
    for (int i = 0; i < kProgramVariables; ++i)
        if (interpreter_.variable(i) != 0)
            last = i;
    line += " vars=";
    for (int i = 0; i <= last; ++i)
        line += (i ? "," : "") + std::to_string(interpreter_.variable(i));
    line += " joints=";
    bool first = true;
    for (int id = 0; id < kJointRows; ++id) {
        if (!joints_.present[id])
            continue;
        int value = editor_->currentValue(id);
        line += (first ? "" : ",") + std::to_string(id) + ":" + (value < 0 ? "?" : std::to_string(value));
        first = false;
    }
    return line;
}

} // namespace sim
