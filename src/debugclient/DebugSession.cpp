#include "debugclient/DebugSession.h"

#include "behaviour/BehaviorProgram.h"

#include <cstdio>

namespace debugclient {

namespace {

std::string hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

std::string atLine(const char* what, int line)
{
    return line >= 0 ? std::string(what) + " at line " + std::to_string(line + 1) : std::string(what);
}

} // namespace

bool DebugSession::send(const std::string& request, std::string* error)
{
    std::optional<std::string> answer = channel_.exchange(request);
    if (!answer) {
        *error = "The simulator's debug channel does not answer.";
        return false;
    }
    if (answer->rfind("ok", 0) != 0) {
        *error = answer->rfind("error ", 0) == 0 ? answer->substr(6) : *answer;
        return false;
    }
    return true;
}

bool DebugSession::toggleBreakpoint(int line)
{
    const bool set = !hasBreakpoint(line);
    if (active()) {
        const int address = lines_.addressOf(line);
        std::string error;
        if (address >= 0 && !send((set ? "break " : "clear ") + hex4(address), &error))
            return false;
    }
    if (set)
        breakpoints_.insert(line);
    else
        breakpoints_.erase(line);
    return true;
}

bool DebugSession::begin(const behaviour::BehaviorProgram& built, std::string* error)
{
    lines_ = built.lineTable;
    names_ = built.nameTable.names;
    // A line without code cannot be stopped at: its breakpoint goes to the line whose code runs next.
    std::set<int> placed;
    for (int line : breakpoints_) {
        for (const behaviour::LineAddressTable::Entry& entry : lines_.entries)
            if (entry.line >= line) {
                placed.insert(entry.line);
                break;
            }
    }
    breakpoints_ = placed;
    channel_.events(); // whatever an earlier session left unread
    if (!send("clear all", error))
        return false;
    for (int line : breakpoints_)
        if (!send("break " + hex4(lines_.addressOf(line)), error))
            return false;
    if (!send(breakpoints_.empty() ? "entry on" : "entry off", error))
        return false;
    state_ = State::Running;
    currentLine_ = -1;
    status_ = "Running";
    last_ = DebugState{};
    atLastStop_.assign(names_.size(), 0);
    variables_.clear();
    for (const std::string& name : names_)
        variables_.push_back({name, 0, false});
    return true;
}

bool DebugSession::command(Command c, std::string* error)
{
    static const char* const kRequests[] = {"continue", "over", "step", "out", "pause"};
    if (!active()) {
        *error = "No program is being debugged.";
        return false;
    }
    if (!send(kRequests[static_cast<int>(c)], error))
        return false;
    if (c != Command::Pause) {
        state_ = State::Running;
        currentLine_ = -1;
        status_ = "Running";
    }
    return true;
}

void DebugSession::stopped(const DebugEvent& event)
{
    currentLine_ = lines_.lineAt(event.offset);
    using Kind = DebugEvent::Kind;
    switch (event.kind) {
    case Kind::Breakpoint:
        status_ = atLine("Paused", currentLine_) + ": breakpoint";
        break;
    case Kind::Step:
        status_ = atLine("Paused", currentLine_) + ": step done";
        break;
    case Kind::Entry:
        status_ = atLine("Paused", currentLine_) + ": first line";
        break;
    case Kind::Error:
        status_ = atLine("Stopped", currentLine_) + ": " + event.text;
        break;
    default:
        status_ = atLine("Paused", currentLine_);
        break;
    }
    state_ = event.kind == Kind::Error ? State::Failed : State::Paused;
    refresh();
    for (size_t i = 0; i < variables_.size(); ++i)
        atLastStop_[i] = variables_[i].value;
}

bool DebugSession::poll()
{
    bool changed = false;
    for (const std::string& line : channel_.events()) {
        const DebugEvent event = parseEvent(line);
        using Kind = DebugEvent::Kind;
        switch (event.kind) {
        case Kind::None:
            continue; // not an event this side knows
        case Kind::Breakpoint:
        case Kind::Step:
        case Kind::Pause:
        case Kind::Entry:
        case Kind::Error:
            if (state_ == State::Idle)
                continue;
            stopped(event);
            break;
        case Kind::End:
            if (state_ == State::Idle)
                continue;
            state_ = State::Ended;
            currentLine_ = -1;
            status_ = "The program ended";
            refresh();
            break;
        case Kind::Exited:
            if (!active())
                continue;
            state_ = State::Ended;
            currentLine_ = -1;
            status_ = "The program was stopped";
            break;
        case Kind::Closed:
            finish();
            status_ = "The simulator's debug channel closed";
            break;
        }
        changed = true;
    }
    return changed;
}

bool DebugSession::refresh()
{
    if (state_ == State::Idle)
        return false;
    std::optional<std::string> answer = channel_.exchange("state");
    DebugState state = answer ? parseState(*answer) : DebugState{};
    if (!state.ok)
        return false;
    last_ = state;
    for (size_t i = 0; i < variables_.size() && i < state.variables.size(); ++i) {
        variables_[i].value = state.variables[i];
        variables_[i].changed = state.variables[i] != atLastStop_[i];
    }
    return true;
}

void DebugSession::finish()
{
    state_ = State::Idle;
    currentLine_ = -1;
    status_.clear();
}

} // namespace debugclient
