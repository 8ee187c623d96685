#include "sim/ScreenEditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

using motion::FieldLayout;
using motion::layoutOf;
using motion::placeOf;
using motion::ScreenField;

constexpr uint8_t kEsc = 27;
constexpr int kPageInfoColumn = motion::kPageInfoCursorColumn;
constexpr int kPlayStepMs = 150; // per pose, plus the pose's pause in tens of milliseconds

std::string format(const char* pattern, long value)
{
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

int key(int row, int column)
{
    return row * 100 + column;
}

int key(motion::ScreenPlace place)
{
    return key(place.row, place.column);
}

// The field a cursor at column 0..7 (0: current, 1..7: poses) and row 0..32 stands on.
ScreenField valueField(int column, int row)
{
    const bool current = column == 0;
    if (row == ScreenEditor::kPauseRow - 1)
        return current ? ScreenField::CurrentPause : ScreenField::PosePause;
    if (row == ScreenEditor::kSpeedRow - 1)
        return current ? ScreenField::CurrentSpeed : ScreenField::PoseSpeed;
    return current ? ScreenField::CurrentJoint : ScreenField::PoseJoint;
}

// Whole-token decimal number; false for anything else (signs allowed, at most 6 digits).
bool parseNumber(std::string_view text, long& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size() || text.size() - i > 6)
        return false;
    long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Which joint mirrors which: the kit's servos come in left/right pairs with consecutive IDs
// (1 and 2, 3 and 4, ...), mounted facing each other, so a mirrored value is 1023 - value.
uint16_t mirrored(uint16_t value)
{
    return value == kUnknownValue ? kUnknownValue : static_cast<uint16_t>(kMaxJointValue - value);
}

} // namespace

ScreenEditor::ScreenEditor(ControllerMemory& memory, const JointTable& joints, std::string& out)
    : memory_(memory), joints_(joints), out_(out)
{
    for (int id = 0; id < kJointRows; ++id) {
        current_[id] = joints_.known(id) ? joints_.initial[id] : -1;
        torque_[id] = joints_.present[id];
    }
}

std::string ScreenEditor::header(int row, int column)
{
    return std::string("\x02\x1b[") + std::to_string(row) + ";" + std::to_string(column) + "f";
}

void ScreenEditor::enter(int64_t)
{
    painting_ = true;
    line_.clear();
    awaitingName_ = false;
    question_ = Action::None;
    play_ = Play{};
    openPage(pageNumber_);
    say("Motion editor: page " + std::to_string(pageNumber_));
    fullRepaint();
    flushMessage();
}

bool ScreenEditor::takeExit()
{
    bool e = exit_;
    exit_ = false;
    return e;
}

bool ScreenEditor::takeMemoryChanged()
{
    bool c = memoryChanged_;
    memoryChanged_ = false;
    return c;
}

// ---------------------------------------------------------------------------------------------
// Input

void ScreenEditor::input(uint8_t byte, int64_t now)
{
    if (play_.active) {
        if (byte == kEsc) {
            int exitPage = play_.data.exitPage;
            if (!play_.stopping && exitPage >= 1) {
                // The exit page brings the robot to rest before the player stops.
                play_.stopping = true;
                play_.page = exitPage;
                play_.data = exitPage == pageNumber_ ? page_ : MotionPage::decode(memory_.page(exitPage));
                play_.pose = 0;
                play_.loopsLeft = 1;
                if (play_.data.poseCount == 0)
                    finishPlay("Play stopped. OK");
            } else {
                finishPlay("Play stopped. OK");
            }
        } else if (byte == '\r') {
            // Only "exit" is heard while a page plays; it stops the player first.
            bool leave = line_ == "exit";
            line_.clear();
            if (leave) {
                finishPlay("Play stopped. OK");
                leaveOrAsk(Action::Exit, 0, now);
                flushMessage();
            }
        } else if (byte >= 32 && byte <= 126 && line_.size() < kMaxLine) {
            line_.push_back(static_cast<char>(byte));
        }
        return;
    }
    if (question_ != Action::None) {
        if (byte == 'y' || byte == 'Y') {
            line_.clear();
            answer(true, now);
        } else if (byte == 'n' || byte == 'N' || byte == kEsc) {
            line_.clear();
            answer(false, now);
        } else if (byte == '\r') {
            // "exit" leaves the editor whatever it was asking: the pending question gives way
            // to the exit's own, which the "y" of "\rexit\ry" then answers. Any other line is
            // not heard until the question is answered.
            const bool leave = line_ == "exit";
            line_.clear();
            if (leave) {
                question_ = Action::None;
                leaveOrAsk(Action::Exit, 0, now);
                flushMessage();
            }
        } else if (byte >= 32 && byte <= 126 && line_.size() < kMaxLine) {
            line_.push_back(static_cast<char>(byte));
        }
        return;
    }
    switch (byte) {
    case '\r': {
        // The typed line leaves the editor before it runs, as a command may start a new one.
        std::string line;
        line.swap(line_);
        execute(line, now);
        line_.clear();
        flushMessage();
        return;
    }
    case '\n':
        return;
    case 8:
    case 127:
        if (!line_.empty())
            line_.pop_back();
        return;
    case kEsc:
        // An ESC meant to stop a play that has just ended still gets an answer, so a PC
        // waiting for one does not give the controller up.
        line_.clear();
        messageDue_ = true;
        flushMessage();
        return;
    case ']':
    case '[':
        if (!awaitingName_) {
            step(byte == ']' ? 1 : -1);
            flushMessage();
            return;
        }
        break;
    default:
        break;
    }
    if (byte >= 32 && byte <= 126 && line_.size() < kMaxLine)
        line_.push_back(static_cast<char>(byte));
}

void ScreenEditor::answer(bool yes, int64_t now)
{
    Action action = question_;
    question_ = Action::None;
    if (!yes) {
        say("Cancelled");
        flushMessage();
        return;
    }
    if (action == Action::GoPose) {
        // Confirmed: the joints whose target is unknown keep their place.
        goPose(questionArgument_);
        repaintChanged();
        say("Robot at pose " + std::to_string(questionArgument_));
        flushMessage();
        return;
    }
    dirty_ = false; // the changes are given up
    perform(action, questionArgument_, now);
    flushMessage();
}

void ScreenEditor::leaveOrAsk(Action action, int argument, int64_t now)
{
    if (dirty_) {
        question_ = action;
        questionArgument_ = argument;
        say("Page " + std::to_string(pageNumber_) + " is not saved. Are you sure? (y/n)");
        return;
    }
    perform(action, argument, now);
}

void ScreenEditor::perform(Action action, int argument, int64_t)
{
    if (action == Action::Exit) {
        exit_ = true;
        // Leaving the editor: the last page is reopened from memory next time.
        page_ = MotionPage::decode(memory_.page(pageNumber_));
        dirty_ = false;
        return;
    }
    if (action == Action::OpenPage) {
        openPage(argument);
        say(argument == 0 ? "Offset page: pose 0 original robot, pose 1 user robot"
                          : "Page " + std::to_string(argument));
        fullRepaint();
    }
}

void ScreenEditor::openPage(int number)
{
    pageNumber_ = number;
    page_ = MotionPage::decode(memory_.page(number));
    dirty_ = false;
    cursorColumn_ = 0;
    cursorRow_ = 0;
    selectedPose_ = -1;
}

// ---------------------------------------------------------------------------------------------
// Commands

void ScreenEditor::execute(const std::string& line, int64_t now)
{
    if (awaitingName_) {
        awaitingName_ = false;
        std::string name;
        for (char c : line)
            if (c >= 32 && c <= 126 && name.size() < kMaxPageName)
                name.push_back(c);
        if (name != page_.name) {
            page_.name = name;
            dirty_ = true;
        }
        repaintChanged();
        say("Page name set");
        return;
    }
    std::vector<std::string> words = split(line);
    if (words.empty()) {
        messageDue_ = true; // an empty line repaints the message line
        if (message_.empty())
            message_ = "Ready";
        return;
    }
    const std::string& command = words[0];
    std::vector<long> numbers;
    bool numeric = true;
    for (size_t i = 1; i < words.size(); ++i) {
        long v = 0;
        numeric = numeric && parseNumber(words[i], v);
        numbers.push_back(v);
    }
    auto wants = [&](size_t count) {
        if (numbers.size() == count && numeric)
            return true;
        say("Usage: " + command + (count == 0 ? "" : count == 1 ? " N" : " N M"));
        return false;
    };
    auto poseIndex = [&](long k, int limit) {
        if (k >= 0 && k < limit)
            return true;
        say("No pose " + std::to_string(k) + " (page has " + std::to_string(page_.poseCount) + ")");
        return false;
    };

    if (command == "page") {
        if (!wants(1))
            return;
        if (numbers[0] < 1 || numbers[0] > kMaxPageNumber) {
            // The editor waits for a repaint after a page change; give it one.
            fullRepaint();
            say("Pages are 1..127 (p 0 opens the offset page)");
            return;
        }
        leaveOrAsk(Action::OpenPage, static_cast<int>(numbers[0]), now);
    } else if (command == "n" || command == "b") {
        if (!wants(0))
            return;
        int target = pageNumber_ + (command == "n" ? 1 : -1);
        if (target < 1 || target > kMaxPageNumber) {
            fullRepaint();
            say(command == "n" ? "No page after 127" : "No page before 1");
            return;
        }
        leaveOrAsk(Action::OpenPage, target, now);
    } else if (command == "p") {
        if (!wants(1))
            return;
        if (numbers[0] != 0) {
            say("Usage: p 0 (opens the offset page)");
            return;
        }
        leaveOrAsk(Action::OpenPage, 0, now);
    } else if (command == "re") {
        fullRepaint();
        say("Page " + std::to_string(pageNumber_));
    } else if (command == "exit") {
        leaveOrAsk(Action::Exit, 0, now);
    } else if (command == "name") {
        if (words.size() == 1) {
            awaitingName_ = true;
            say("Page name?");
            return;
        }
        std::string rest = line.substr(line.find("name") + 5);
        awaitingName_ = true;
        execute(rest, now);
    } else if (command == "goto") {
        if (!wants(2))
            return;
        long column = numbers[0];
        long row = numbers[1];
        bool valid = (column >= 0 && column <= kPoseCount && row >= 0 && row <= kSpeedRow - 1) ||
                     (column == kPageInfoColumn && motion::pageAttributeAtCursorRow(static_cast<int>(row)));
        if (!valid) {
            say("No field at " + std::to_string(column) + " " + std::to_string(row));
            return;
        }
        cursorColumn_ = static_cast<int>(column);
        cursorRow_ = static_cast<int>(row);
        if (column >= 1 && column <= kPoseCount)
            selectedPose_ = static_cast<int>(column - 1);
        repaintChanged();
        say("Cursor at " + std::to_string(column) + " " + std::to_string(row));
    } else if (command == "set") {
        if (!wants(1))
            return;
        setValue(numbers[0]);
    } else if (command == "go") {
        if (!wants(1) || !poseIndex(numbers[0], page_.poseCount))
            return;
        int k = static_cast<int>(numbers[0]);
        if (poseIncomplete(k)) {
            question_ = Action::GoPose;
            questionArgument_ = k;
            say("Pose " + std::to_string(k) + " has unknown values. Are you sure? (y/n)");
            return;
        }
        goPose(k);
        repaintChanged();
        say("Robot at pose " + std::to_string(k));
    } else if (command == "w" || command == "i" || command == "write") {
        bool append = command == "write";
        if (!wants(append ? 0 : 1))
            return;
        int k = append ? page_.poseCount : static_cast<int>(numbers[0]);
        bool inserting = command != "w" || k == page_.poseCount;
        if (k < 0 || k > page_.poseCount || k >= kPoseCount) {
            say("Pose " + std::to_string(k) + " cannot be written (page has " +
                std::to_string(page_.poseCount) + ")");
            return;
        }
        if (inserting && page_.poseCount >= kPoseCount) {
            say("The page holds 7 poses already");
            return;
        }
        Pose pose;
        for (int id = 0; id < kJointRows; ++id)
            pose.values[id] = current_[id] < 0 ? kUnknownValue : static_cast<uint16_t>(current_[id]);
        pose.pause = static_cast<uint8_t>(currentPause_);
        pose.speed = static_cast<uint8_t>(currentSpeed_);
        if (inserting) {
            for (int p = page_.poseCount; p > k; --p)
                page_.poses[p] = page_.poses[p - 1];
            ++page_.poseCount;
        }
        page_.poses[k] = pose;
        selectedPose_ = k;
        dirty_ = true;
        repaintChanged();
        say((command == "i" ? "Pose inserted at "
             : append       ? "Pose added as "
                            : "Pose written to ") +
            std::to_string(k));
    } else if (command == "move") {
        if (!wants(2) || !poseIndex(numbers[0], page_.poseCount) || !poseIndex(numbers[1], page_.poseCount))
            return;
        int from = static_cast<int>(numbers[0]);
        int to = static_cast<int>(numbers[1]);
        Pose moving = page_.poses[from];
        if (from < to)
            for (int p = from; p < to; ++p)
                page_.poses[p] = page_.poses[p + 1];
        else
            for (int p = from; p > to; --p)
                page_.poses[p] = page_.poses[p - 1];
        page_.poses[to] = moving;
        selectedPose_ = to;
        dirty_ = dirty_ || from != to;
        repaintChanged();
        say("Pose " + std::to_string(from) + " moved to " + std::to_string(to));
    } else if (command == "m") {
        if (!wants(1) || !poseIndex(numbers[0], page_.poseCount))
            return;
        Pose& pose = page_.poses[numbers[0]];
        for (int a = 1; a + 1 < kJointRows; a += 2) {
            int b = a + 1;
            // A pair with an unknown side is left alone rather than spreading the unknown.
            if (!joints_.present[a] || !joints_.present[b] || pose.values[a] == kUnknownValue ||
                pose.values[b] == kUnknownValue)
                continue;
            uint16_t va = pose.values[a];
            pose.values[a] = mirrored(pose.values[b]);
            pose.values[b] = mirrored(va);
        }
        selectedPose_ = static_cast<int>(numbers[0]);
        dirty_ = true;
        repaintChanged();
        say("Pose " + std::to_string(numbers[0]) + " mirrored");
    } else if (command == "d") {
        if (!wants(1) || !poseIndex(numbers[0], page_.poseCount))
            return;
        for (int p = static_cast<int>(numbers[0]); p + 1 < page_.poseCount; ++p)
            page_.poses[p] = page_.poses[p + 1];
        --page_.poseCount;
        page_.poses[page_.poseCount] = Pose{};
        page_.poses[page_.poseCount].values.fill(512);
        selectedPose_ = -1;
        dirty_ = true;
        repaintChanged();
        say("Pose " + std::to_string(numbers[0]) + " deleted");
    } else if (command == "on" || command == "off") {
        if (numbers.empty() || !numeric) {
            say("Usage: " + command + " ID [ID...]");
            return;
        }
        for (long id : numbers) {
            if (id < 0 || id >= kJointRows || !joints_.present[id]) {
                say("No joint with ID " + std::to_string(id));
                return;
            }
        }
        for (long id : numbers)
            torque_[id] = command == "on";
        repaintChanged();
        say(std::string("Torque ") + command + " for " + std::to_string(numbers.size()) + " joint(s)");
    } else if (command == "save") {
        page_.encode(memory_.page(pageNumber_));
        dirty_ = false;
        memoryChanged_ = true;
        repaintChanged();
        say("Writing page " + std::to_string(pageNumber_) + " ... done");
    } else if (command == "play") {
        if (!wants(1))
            return;
        if (numbers[0] < 0 || numbers[0] > kMaxPageNumber) {
            say("No page " + std::to_string(numbers[0]) + ". OK");
            return;
        }
        startPlay(static_cast<int>(numbers[0]), now);
    } else {
        say("Unknown command: " + line.substr(0, 40));
    }
}

bool ScreenEditor::poseIncomplete(int pose) const
{
    for (int id = 0; id < kJointRows; ++id)
        if (joints_.known(id) && page_.poses[pose].values[id] == kUnknownValue)
            return true;
    return false;
}

void ScreenEditor::goPose(int pose)
{
    const Pose& p = page_.poses[pose];
    for (int id = 0; id < kJointRows; ++id)
        if (joints_.known(id) && p.values[id] != kUnknownValue)
            current_[id] = p.values[id];
    currentPause_ = p.pause;
    currentSpeed_ = p.speed;
    selectedPose_ = pose;
}

void ScreenEditor::setValue(long value)
{
    auto outOfRange = [&](long low, long high) {
        if (value >= low && value <= high)
            return false;
        say("Value " + std::to_string(value) + " out of range " + std::to_string(low) + ".." +
            std::to_string(high));
        return true;
    };
    int column = cursorColumn_;
    int row = cursorRow_;
    if (column == kPageInfoColumn) {
        const FieldLayout* layout = motion::pageAttributeAtCursorRow(row);
        int* field = layout ? pageAttribute(layout->field) : nullptr;
        if (!field) {
            say("No field under the cursor");
            return;
        }
        if (outOfRange(layout->low, layout->high))
            return;
        dirty_ = dirty_ || *field != value;
        *field = static_cast<int>(value);
    } else if (row == kPauseRow - 1 || row == kSpeedRow - 1) {
        const FieldLayout& layout = layoutOf(valueField(column, row));
        if (outOfRange(layout.low, layout.high))
            return;
        bool pause = row == kPauseRow - 1;
        if (column == 0) {
            (pause ? currentPause_ : currentSpeed_) = static_cast<int>(value);
        } else {
            Pose& pose = page_.poses[column - 1];
            uint8_t& field = pause ? pose.pause : pose.speed;
            dirty_ = dirty_ || field != value;
            field = static_cast<uint8_t>(value);
        }
    } else {
        int id = row;
        if (!joints_.present[id]) {
            say("No joint with ID " + std::to_string(id));
            return;
        }
        const FieldLayout& layout = layoutOf(valueField(column, row));
        if (outOfRange(layout.low, layout.high))
            return;
        if (column == 0) {
            if (!joints_.known(id)) {
                say("ID " + std::to_string(id) + " does not report its position");
                return;
            }
            current_[id] = static_cast<int>(value);
        } else {
            uint16_t& field = page_.poses[column - 1].values[id];
            dirty_ = dirty_ || field != value;
            field = static_cast<uint16_t>(value);
        }
    }
    repaintChanged();
    say("Value " + std::to_string(value));
}

void ScreenEditor::step(int delta)
{
    long value = 0;
    int column = cursorColumn_;
    int row = cursorRow_;
    const FieldLayout* layout = nullptr;
    if (column == kPageInfoColumn) {
        layout = motion::pageAttributeAtCursorRow(row);
        if (const int* field = layout ? pageAttribute(layout->field) : nullptr)
            value = *field;
    } else if (row == kPauseRow - 1) {
        value = column == 0 ? currentPause_ : page_.poses[column - 1].pause;
    } else if (row == kSpeedRow - 1) {
        value = column == 0 ? currentSpeed_ : page_.poses[column - 1].speed;
    } else if (column == 0) {
        value = current_[row] < 0 ? 512 : current_[row];
    } else {
        uint16_t v = page_.poses[column - 1].values[row];
        value = v == kUnknownValue ? 512 : v;
    }
    long stepped = value + delta;
    if (stepped < 0)
        stepped = 0;
    // setValue refuses a value past the top of the range; stay on the limit instead.
    if (column != kPageInfoColumn)
        layout = &layoutOf(valueField(column, row));
    if (layout)
        stepped = std::min<long>(stepped, layout->high);
    setValue(stepped);
}

// ---------------------------------------------------------------------------------------------
// Playing

void ScreenEditor::startPlay(int number, int64_t now)
{
    play_ = Play{};
    play_.active = true;
    play_.page = number;
    play_.data = number == pageNumber_ ? page_ : MotionPage::decode(memory_.page(number));
    play_.loopsLeft = std::max(1, play_.data.playCount);
    play_.nextStep = now + kPlayStepMs;
    if (play_.data.poseCount == 0) {
        finishPlay("Page " + std::to_string(number) + " has no poses. OK");
        return;
    }
    say("Playing page " + std::to_string(number) + " (ESC stops)");
}

void ScreenEditor::playStep(int64_t now)
{
    const Pose& pose = play_.data.poses[play_.pose];
    for (int id = 0; id < kJointRows; ++id)
        if (joints_.known(id) && pose.values[id] != kUnknownValue)
            current_[id] = pose.values[id];
    currentPause_ = pose.pause;
    currentSpeed_ = pose.speed;
    repaintChanged();
    play_.nextStep = now + kPlayStepMs + 10 * int64_t{pose.pause};
    if (++play_.pose < play_.data.poseCount)
        return;
    play_.pose = 0;
    if (--play_.loopsLeft > 0)
        return;
    int next = play_.data.nextPage;
    if (play_.stopping || next < 1) {
        finishPlay("Play of page " + std::to_string(play_.page) + " finished. OK");
        return;
    }
    // Pages chain through their next page until one ends the chain or ESC stops it.
    play_.page = next;
    play_.data = next == pageNumber_ ? page_ : MotionPage::decode(memory_.page(next));
    play_.loopsLeft = std::max(1, play_.data.playCount);
    if (play_.data.poseCount == 0)
        finishPlay("Play of page " + std::to_string(next) + " finished. OK");
}

void ScreenEditor::moveJoint(int id, int value)
{
    if (id >= 0 && id < kJointRows && joints_.known(id))
        current_[id] = std::clamp(value, 0, kMaxJointValue);
}

void ScreenEditor::playUnpainted(int number, int64_t now)
{
    painting_ = false;
    startPlay(number, now);
}

void ScreenEditor::stopPlay()
{
    play_.active = false;
}

void ScreenEditor::finishPlay(const std::string& text)
{
    play_.active = false;
    repaintChanged();
    say(text);
    flushMessage();
}

void ScreenEditor::advance(int64_t now)
{
    // Catch up step by step; each step schedules the next one later, so this ends.
    int guard = 0;
    while (play_.active && now >= play_.nextStep && guard++ < 64) {
        playStep(now);
        flushMessage();
    }
}

std::optional<int64_t> ScreenEditor::nextDeadline() const
{
    if (play_.active)
        return play_.nextStep;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Painting

std::string ScreenEditor::jointText(int id, uint16_t value) const
{
    if (!joints_.present[id])
        return "-   ";
    if (value == kUnknownValue)
        return "?   ";
    return format("%4ld", value);
}

int* ScreenEditor::pageAttribute(ScreenField field)
{
    switch (field) {
    case ScreenField::PlayCount:
        return &page_.playCount;
    case ScreenField::PoseCount:
        return &page_.poseCount;
    case ScreenField::MotionSpeed:
        return &page_.motionSpeed;
    case ScreenField::AccelTime:
        return &page_.accelTime;
    case ScreenField::NextPage:
        return &page_.nextPage;
    case ScreenField::ExitPage:
        return &page_.exitPage;
    default:
        return nullptr;
    }
}

std::vector<std::pair<int, std::string>> ScreenEditor::fields() const
{
    std::vector<std::pair<int, std::string>> f;
    f.reserve(kJointRows * 9 + 40);
    auto add = [&](ScreenField field, std::string text, int id = 0, int pose = 0) {
        f.emplace_back(key(placeOf(field, id, pose)), std::move(text));
    };
    for (int id = 0; id < kJointRows; ++id) {
        uint16_t now = current_[id] < 0 ? kUnknownValue : static_cast<uint16_t>(current_[id]);
        add(ScreenField::CurrentJoint, jointText(id, now), id);
        for (int p = 0; p < kPoseCount; ++p)
            add(ScreenField::PoseJoint, jointText(id, page_.poses[p].values[id]), id, p);
        add(ScreenField::Torque, !joints_.present[id] ? "   " : torque_[id] ? "on " : "off", id);
    }
    add(ScreenField::CurrentPause, format("%3ld", currentPause_));
    add(ScreenField::CurrentSpeed, format("%3ld", currentSpeed_));
    for (int p = 0; p < kPoseCount; ++p) {
        add(ScreenField::PosePause, format("%3ld", page_.poses[p].pause), 0, p);
        add(ScreenField::PoseSpeed, format("%3ld", page_.poses[p].speed), 0, p);
    }
    add(ScreenField::PageName, page_.name);
    add(ScreenField::PageNumber, format("%4ld", pageNumber_));
    add(ScreenField::DataAddress,
        format("%08lX", ControllerMemory::kMotionData + ControllerMemory::kPageSize * pageNumber_));
    add(ScreenField::PlayCount, format("%3ld", page_.playCount));
    add(ScreenField::PoseCount, format("%3ld", page_.poseCount));
    add(ScreenField::MotionSpeed, format("%3ld", page_.motionSpeed));
    add(ScreenField::AccelTime, format("%3ld", page_.accelTime));
    add(ScreenField::NextPage, format("%3ld", page_.nextPage));
    add(ScreenField::ExitPage, format("%3ld", page_.exitPage));
    // Status line: the edit cursor and the bytes the page takes in its slot.
    add(ScreenField::CursorColumn, format("%2ld", cursorColumn_));
    add(ScreenField::CursorRow, format("%2ld", cursorRow_));
    add(ScreenField::PageBytes, format("%4ld", 24 + 64 * page_.poseCount));
    add(ScreenField::SelectedPose, format("%3ld", selectedPose_));
    return f;
}

void ScreenEditor::fullRepaint()
{
    // The first field, at row 1 column 1, tells a reader that the whole screen follows; the
    // clear-screen and the labels are for people watching on a terminal. Each label starts
    // with a carriage return so that it never runs on into the message line of a reader.
    auto label = [](int id, const std::string& name) {
        char text[24];
        std::snprintf(text, sizeof text, "ID%3d %-12.12s", id, name.c_str());
        return std::string(text);
    };
    out_ += header(1, 1) + "\x1b[2J" + label(0, joints_.names[0]);
    for (int id = 1; id < kJointRows; ++id)
        out_ += "\r" + header(id + 1, 1) + label(id, joints_.names[id]);
    out_ += "\r" + header(kPauseRow, 1) + "Pause";
    out_ += "\r" + header(kSpeedRow, 1) + "Speed";
    // Captions sit between the joints' on/off column (61..63) and the values (from column 70),
    // so a person watching on an 80-column terminal sees every word whole.
    static const std::pair<int, const char*> kCaptions[] = {
        {2, "Page number"}, {3, "Addr"},        {5, "Play count"}, {10, "Pose count"},
        {12, "Speed"},      {14, "Accel time"}, {15, "Next page"}, {16, "Exit page"}};
    for (const auto& [row, caption] : kCaptions)
        out_ += "\r" + header(row, 65) + caption;
    out_ += "\r" + header(34, 57) + " Selected pose";
    painted_.clear();
    for (auto& [k, text] : fields()) {
        out_ += header(k / 100, k % 100) + text;
        painted_[k] = std::move(text);
    }
    messageDue_ = true;
}

void ScreenEditor::repaintChanged()
{
    if (!painting_)
        return;
    for (auto& [k, text] : fields()) {
        auto it = painted_.find(k);
        if (it != painted_.end() && it->second == text)
            continue;
        const motion::ScreenPlace name = placeOf(ScreenField::PageName);
        if (k == key(name) && it != painted_.end()) // blank the old name first
            out_ += header(name.row, name.column) + std::string(kMaxPageName, ' ');
        out_ += header(k / 100, k % 100) + text;
        painted_[k] = std::move(text);
    }
}

void ScreenEditor::say(std::string text)
{
    message_ = std::move(text);
    messageDue_ = true;
}

void ScreenEditor::flushMessage()
{
    if (!messageDue_ || !painting_)
        return;
    messageDue_ = false;
    std::string text = message_.substr(0, kMessageWidth);
    text.resize(kMessageWidth, ' ');
    out_ += header(kMessageRow, kMessageColumn) + text;
}

} // namespace sim
