#include "debugclient/DebugReply.h"

#include <charconv>

namespace debugclient {

namespace {

bool takePrefix(std::string_view& text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// A whole word as a number in base 10 or 16, within low..high.
bool number(std::string_view word, int base, long low, long high, int& value)
{
    if (word.empty())
        return false;
    long v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v, base);
    if (ec != std::errc() || end != word.data() + word.size() || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool offset(std::string_view word, int& value)
{
    return word.size() == 4 && number(word, 16, 0, 0xFFFF, value);
}

// Calls take(item) for each comma-separated item; false when one is refused.
template <typename F> bool eachItem(std::string_view list, F take)
{
    if (list.empty())
        return true;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        if (!take(
                list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)))
            return false;
        if (comma == std::string_view::npos)
            return true;
        start = comma + 1;
    }
}

} // namespace

DebugEvent parseEvent(std::string_view line)
{
    DebugEvent event;
    if (line == "event exited") {
        event.kind = DebugEvent::Kind::Exited;
        return event;
    }
    if (line == "event closed") {
        event.kind = DebugEvent::Kind::Closed;
        return event;
    }
    if (!takePrefix(line, "event stopped "))
        return event;
    static constexpr std::pair<std::string_view, DebugEvent::Kind> kReasons[] = {
        {"breakpoint ", DebugEvent::Kind::Breakpoint},
        {"step ", DebugEvent::Kind::Step},
        {"pause ", DebugEvent::Kind::Pause},
        {"entry ", DebugEvent::Kind::Entry},
        {"end ", DebugEvent::Kind::End},
        {"error ", DebugEvent::Kind::Error},
    };
    DebugEvent::Kind kind = DebugEvent::Kind::None;
    for (const auto& [word, k] : kReasons)
        if (takePrefix(line, word))
            kind = k;
    if (kind == DebugEvent::Kind::None || !takePrefix(line, "at="))
        return event;
    const std::string_view at = line.substr(0, 4);
    line.remove_prefix(at.size());
    if (!offset(at, event.offset))
        return {};
    if (kind == DebugEvent::Kind::Error) {
        if (!takePrefix(line, " ") || line.empty())
            return {};
        event.text = std::string(line.substr(0, 200));
    } else if (!line.empty()) {
        return {};
    }
    event.kind = kind;
    return event;
}

DebugState parseState(std::string_view answer)
{
    DebugState state;
    if (!takePrefix(answer, "ok state "))
        return state;
    int seen = 0;
    while (!answer.empty()) {
        const size_t space = answer.find(' ');
        std::string_view word = answer.substr(0, space);
        answer = space == std::string_view::npos ? std::string_view() : answer.substr(space + 1);
        const size_t eq = word.find('=');
        if (eq == std::string_view::npos)
            return {};
        const std::string_view key = word.substr(0, eq), value = word.substr(eq + 1);
        bool good = true;
        if (key == "mode") {
            state.mode = value;
        } else if (key == "program") {
            state.program = value;
        } else if (key == "at") {
            good = offset(value, state.offset);
        } else if (key == "depth") {
            good = number(value, 10, 0, 1000, state.depth);
        } else if (key == "stack") {
            good = eachItem(value, [&](std::string_view item) {
                int v = 0;
                if (!offset(item, v) || state.stack.size() >= 1000)
                    return false;
                state.stack.push_back(v);
                return true;
            });
        } else if (key == "timer" || key == "buttons" || key == "aux") {
            int& target = key == "timer" ? state.timer : key == "buttons" ? state.buttons : state.auxLed;
            good = number(value, 10, -32768, 65535, target);
        } else if (key == "vars") {
            size_t i = 0;
            good = eachItem(value,
                            [&](std::string_view item) {
                                return i < state.variables.size() &&
                                       number(item, 10, -32768, 32767, state.variables[i++]);
                            }) &&
                   i == state.variables.size();
        } else {
            continue; // a field this side does not know yet
        }
        if (!good)
            return {};
        ++seen;
    }
    state.ok = seen == 9 && !state.mode.empty() && !state.program.empty();
    return state;
}

} // namespace debugclient
