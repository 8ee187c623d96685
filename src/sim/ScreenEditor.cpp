#include "sim/ScreenEditor.h"

#include "sim/CommandWords.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

using motion::FieldLayout;
using motion::layoutOf;
using motion::ScreenField;

constexpr uint8_t kEsc = 27;
constexpr int kPageInfoColumn = motion::kPageInfoCursorColumn;
constexpr int kPauseRow = FieldPainter::kPauseRow;
constexpr int kSpeedRow = FieldPainter::kSpeedRow;

// The field a cursor at column 0..7 (0: current, 1..7: poses) and row 0..32 stands on.
ScreenField valueField(int column, int row)
{
    const bool current = column == 0;
    if (row == kPauseRow - 1)
        return current ? ScreenField::CurrentPause : ScreenField::PosePause;
    if (row == kSpeedRow - 1)
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

// Which joint mirrors which: the kit's servos come in left/right pairs with consecutive IDs
// (1 and 2, 3 and 4, ...), mounted facing each other, so a mirrored value is 1023 - value.
uint16_t mirrored(uint16_t value)
{
    return value == kUnknownValue ? kUnknownValue : static_cast<uint16_t>(kMaxJointValue - value);
}

// What a command takes after its name. Checked before its handler runs; a mismatch answers
// with the command's usage line.
enum class Arguments {
    Unchecked, // whatever follows is ignored or read by the handler itself
    None,
    One,
    Two,
    Ids, // one or more joint IDs
};

std::string usage(const std::string& command, Arguments arguments)
{
    switch (arguments) {
    case Arguments::One:
        return "Usage: " + command + " N";
    case Arguments::Two:
        return "Usage: " + command + " N M";
    case Arguments::Ids:
        return "Usage: " + command + " ID [ID...]";
    default:
        return "Usage: " + command;
    }
}

bool fits(Arguments arguments, size_t count, bool numeric)
{
    switch (arguments) {
    case Arguments::Unchecked:
        return true;
    case Arguments::None:
        return count == 0 && numeric;
    case Arguments::One:
        return count == 1 && numeric;
    case Arguments::Two:
        return count == 2 && numeric;
    case Arguments::Ids:
        return count > 0 && numeric;
    }
    return false;
}

} // namespace

struct ScreenEditor::Command {
    const char* name;
    Arguments arguments;
    void (ScreenEditor::*run)(const Call& call);
};

ScreenEditor::ScreenEditor(ControllerMemory& memory, const JointTable& joints, std::string& out)
    : memory_(memory), joints_(joints), painter_(joints, out),
      player_([this](int number) { return pageToPlay(number); })
{
    for (int id = 0; id < kJointRows; ++id) {
        current_[id] = joints_.known(id) ? joints_.initial[id] : -1;
        torque_[id] = joints_.present[id];
    }
}

void ScreenEditor::enter(int64_t)
{
    painter_.setPainting(true);
    line_.clear();
    awaitingName_ = false;
    question_ = Action::None;
    player_.halt();
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
    if (player_.active()) {
        if (byte == kEsc) {
            if (auto ended = player_.stop())
                finishPlay(*ended);
        } else if (byte == '\r') {
            // Only "exit" is heard while a page plays; it stops the player first.
            bool leave = line_ == "exit";
            line_.clear();
            if (leave) {
                player_.halt();
                finishPlay("Play stopped. OK");
                leaveOrAsk(Action::Exit, 0);
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
                leaveOrAsk(Action::Exit, 0);
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
        painter_.repeatMessage();
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

void ScreenEditor::answer(bool yes, int64_t)
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
    perform(action, questionArgument_);
    flushMessage();
}

void ScreenEditor::leaveOrAsk(Action action, int argument)
{
    if (dirty_) {
        question_ = action;
        questionArgument_ = argument;
        say("Page " + std::to_string(pageNumber_) + " is not saved. Are you sure? (y/n)");
        return;
    }
    perform(action, argument);
}

void ScreenEditor::perform(Action action, int argument)
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
    // clang-format off
    static const Command kCommands[] = {
        {"page",  Arguments::One,       &ScreenEditor::pageCommand},
        {"n",     Arguments::None,      &ScreenEditor::nextOrBackCommand},
        {"b",     Arguments::None,      &ScreenEditor::nextOrBackCommand},
        {"p",     Arguments::One,       &ScreenEditor::offsetPageCommand},
        {"re",    Arguments::Unchecked, &ScreenEditor::repaintCommand},
        {"exit",  Arguments::Unchecked, &ScreenEditor::exitCommand},
        {"name",  Arguments::Unchecked, &ScreenEditor::nameCommand},
        {"goto",  Arguments::Two,       &ScreenEditor::gotoCommand},
        {"set",   Arguments::One,       &ScreenEditor::setCommand},
        {"go",    Arguments::One,       &ScreenEditor::goCommand},
        {"w",     Arguments::One,       &ScreenEditor::writeCommand},
        {"i",     Arguments::One,       &ScreenEditor::writeCommand},
        {"write", Arguments::None,      &ScreenEditor::writeCommand},
        {"move",  Arguments::Two,       &ScreenEditor::moveCommand},
        {"m",     Arguments::One,       &ScreenEditor::mirrorCommand},
        {"d",     Arguments::One,       &ScreenEditor::deleteCommand},
        {"on",    Arguments::Ids,       &ScreenEditor::torqueCommand},
        {"off",   Arguments::Ids,       &ScreenEditor::torqueCommand},
        {"save",  Arguments::Unchecked, &ScreenEditor::saveCommand},
        {"play",  Arguments::One,       &ScreenEditor::playCommand},
    };
    // clang-format on
    if (awaitingName_) {
        takeName(line);
        return;
    }
    std::vector<std::string> words = splitWords(line);
    if (words.empty()) {
        // An empty line repaints the message line.
        if (painter_.message().empty())
            say("Ready");
        else
            painter_.repeatMessage();
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
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command& c) { return command == c.name; });
    if (found == std::end(kCommands)) {
        say("Unknown command: " + line.substr(0, 40));
        return;
    }
    if (!fits(found->arguments, numbers.size(), numeric)) {
        say(usage(command, found->arguments));
        return;
    }
    (this->*found->run)(Call{command, numbers, numeric, words.size(), line, now});
}

void ScreenEditor::takeName(const std::string& line)
{
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
}

bool ScreenEditor::poseInRange(long k)
{
    if (k >= 0 && k < page_.poseCount)
        return true;
    say("No pose " + std::to_string(k) + " (page has " + std::to_string(page_.poseCount) + ")");
    return false;
}

void ScreenEditor::pageCommand(const Call& call)
{
    const long number = call.numbers[0];
    if (number < 1 || number > kMaxPageNumber) {
        // The editor waits for a repaint after a page change; give it one.
        fullRepaint();
        say("Pages are 1..127 (p 0 opens the offset page)");
        return;
    }
    leaveOrAsk(Action::OpenPage, static_cast<int>(number));
}

void ScreenEditor::nextOrBackCommand(const Call& call)
{
    const bool next = call.command == "n";
    int target = pageNumber_ + (next ? 1 : -1);
    if (target < 1 || target > kMaxPageNumber) {
        fullRepaint();
        say(next ? "No page after 127" : "No page before 1");
        return;
    }
    leaveOrAsk(Action::OpenPage, target);
}

void ScreenEditor::offsetPageCommand(const Call& call)
{
    if (call.numbers[0] != 0) {
        say("Usage: p 0 (opens the offset page)");
        return;
    }
    leaveOrAsk(Action::OpenPage, 0);
}

void ScreenEditor::repaintCommand(const Call&)
{
    fullRepaint();
    say("Page " + std::to_string(pageNumber_));
}

void ScreenEditor::exitCommand(const Call&)
{
    leaveOrAsk(Action::Exit, 0);
}

void ScreenEditor::nameCommand(const Call& call)
{
    if (call.words == 1) {
        awaitingName_ = true;
        say("Page name?");
        return;
    }
    // "name TEXT" names the page at once, as if TEXT had answered the question.
    takeName(call.line.substr(call.line.find("name") + 5));
}

void ScreenEditor::gotoCommand(const Call& call)
{
    long column = call.numbers[0];
    long row = call.numbers[1];
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
}

void ScreenEditor::setCommand(const Call& call)
{
    setValue(call.numbers[0]);
}

void ScreenEditor::goCommand(const Call& call)
{
    if (!poseInRange(call.numbers[0]))
        return;
    int k = static_cast<int>(call.numbers[0]);
    if (poseIncomplete(k)) {
        question_ = Action::GoPose;
        questionArgument_ = k;
        say("Pose " + std::to_string(k) + " has unknown values. Are you sure? (y/n)");
        return;
    }
    goPose(k);
    repaintChanged();
    say("Robot at pose " + std::to_string(k));
}

// "w K" overwrites pose K, "i K" inserts before it, "write" appends; writing just past the
// last pose appends too.
void ScreenEditor::writeCommand(const Call& call)
{
    const bool append = call.command == "write";
    int k = append ? page_.poseCount : static_cast<int>(call.numbers[0]);
    bool inserting = call.command != "w" || k == page_.poseCount;
    if (k < 0 || k > page_.poseCount || k >= kPoseCount) {
        say("Pose " + std::to_string(k) + " cannot be written (page has " + std::to_string(page_.poseCount) +
            ")");
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
    say((call.command == "i" ? "Pose inserted at "
         : append            ? "Pose added as "
                             : "Pose written to ") +
        std::to_string(k));
}

void ScreenEditor::moveCommand(const Call& call)
{
    if (!poseInRange(call.numbers[0]) || !poseInRange(call.numbers[1]))
        return;
    int from = static_cast<int>(call.numbers[0]);
    int to = static_cast<int>(call.numbers[1]);
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
}

void ScreenEditor::mirrorCommand(const Call& call)
{
    if (!poseInRange(call.numbers[0]))
        return;
    Pose& pose = page_.poses[call.numbers[0]];
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
    selectedPose_ = static_cast<int>(call.numbers[0]);
    dirty_ = true;
    repaintChanged();
    say("Pose " + std::to_string(call.numbers[0]) + " mirrored");
}

void ScreenEditor::deleteCommand(const Call& call)
{
    if (!poseInRange(call.numbers[0]))
        return;
    for (int p = static_cast<int>(call.numbers[0]); p + 1 < page_.poseCount; ++p)
        page_.poses[p] = page_.poses[p + 1];
    --page_.poseCount;
    page_.poses[page_.poseCount] = Pose{};
    page_.poses[page_.poseCount].values.fill(512);
    selectedPose_ = -1;
    dirty_ = true;
    repaintChanged();
    say("Pose " + std::to_string(call.numbers[0]) + " deleted");
}

void ScreenEditor::torqueCommand(const Call& call)
{
    for (long id : call.numbers) {
        if (id < 0 || id >= kJointRows || !joints_.present[id]) {
            say("No joint with ID " + std::to_string(id));
            return;
        }
    }
    for (long id : call.numbers)
        torque_[id] = call.command == "on";
    repaintChanged();
    say("Torque " + call.command + " for " + std::to_string(call.numbers.size()) + " joint(s)");
}

void ScreenEditor::saveCommand(const Call&)
{
    page_.encode(memory_.page(pageNumber_));
    dirty_ = false;
    memoryChanged_ = true;
    repaintChanged();
    say("Writing page " + std::to_string(pageNumber_) + " ... done");
}

void ScreenEditor::playCommand(const Call& call)
{
    const long number = call.numbers[0];
    if (number < 0 || number > kMaxPageNumber) {
        say("No page " + std::to_string(number) + ". OK");
        return;
    }
    startPlay(static_cast<int>(number), call.now);
}

// ---------------------------------------------------------------------------------------------
// Values

bool ScreenEditor::poseIncomplete(int pose) const
{
    for (int id = 0; id < kJointRows; ++id)
        if (joints_.known(id) && page_.poses[pose].values[id] == kUnknownValue)
            return true;
    return false;
}

void ScreenEditor::takePose(const Pose& pose)
{
    for (int id = 0; id < kJointRows; ++id)
        if (joints_.known(id) && pose.values[id] != kUnknownValue)
            current_[id] = pose.values[id];
    currentPause_ = pose.pause;
    currentSpeed_ = pose.speed;
}

void ScreenEditor::goPose(int pose)
{
    takePose(page_.poses[pose]);
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

// ---------------------------------------------------------------------------------------------
// Playing

MotionPage ScreenEditor::pageToPlay(int number) const
{
    return number == pageNumber_ ? page_ : MotionPage::decode(memory_.page(number));
}

void ScreenEditor::startPlay(int number, int64_t now)
{
    if (auto ended = player_.start(number, now)) {
        finishPlay(*ended);
        return;
    }
    say("Playing page " + std::to_string(number) + " (ESC stops)");
}

void ScreenEditor::moveJoint(int id, int value)
{
    if (id >= 0 && id < kJointRows && joints_.known(id))
        current_[id] = std::clamp(value, 0, kMaxJointValue);
}

void ScreenEditor::playUnpainted(int number, int64_t now)
{
    painter_.setPainting(false);
    startPlay(number, now);
}

void ScreenEditor::stopPlay()
{
    player_.halt();
}

void ScreenEditor::finishPlay(const std::string& text)
{
    repaintChanged();
    say(text);
    flushMessage();
}

void ScreenEditor::advance(int64_t now)
{
    // Catch up step by step; each step schedules the next one later, so this ends.
    int guard = 0;
    while (player_.due(now) && guard++ < PagePlayer::kMaxCatchUp) {
        const PagePlayer::Step step = player_.step(now);
        takePose(step.pose);
        repaintChanged();
        if (step.ended)
            finishPlay(*step.ended);
        flushMessage();
    }
}

std::optional<int64_t> ScreenEditor::nextDeadline() const
{
    return player_.nextDeadline();
}

// ---------------------------------------------------------------------------------------------
// Painting

ScreenState ScreenEditor::screen() const
{
    return ScreenState{page_,         pageNumber_,   current_,   torque_,      currentPause_,
                       currentSpeed_, cursorColumn_, cursorRow_, selectedPose_};
}

void ScreenEditor::fullRepaint()
{
    painter_.paintAll(screen());
}

void ScreenEditor::repaintChanged()
{
    painter_.paintChanged(screen());
}

} // namespace sim
