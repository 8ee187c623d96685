#include "sim/Debugger.h"

#include "sim/Controller.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace sim {

namespace {

std::vector<std::string_view> splitWords(std::string_view line)
{
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool sameWord(std::string_view word, std::string_view expected)
{
    return word.size() == expected.size() &&
           std::equal(word.begin(), word.end(), expected.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

// What the word shows of itself in an error line: printable and short.
std::string quoted(std::string_view word)
{
    std::string text;
    for (char c : word.substr(0, 24))
        text += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    return text;
}

// One to four hexadecimal digits, "0x" allowed in front.
bool parseOffset(std::string_view word, unsigned& value)
{
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
        word.remove_prefix(2);
    if (word.empty() || word.size() > 4)
        return false;
    value = 0;
    for (char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        value =
            value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return true;
}

} // namespace

Debugger::Debugger(Controller& controller) : controller_(controller)
{
    controller_.setLineHook(this);
}

Debugger::~Debugger()
{
    controller_.setLineHook(nullptr);
}

bool Debugger::programRunning() const
{
    return controller_.mode() == Mode::Running && controller_.running().active() &&
           controller_.running().interpreter().runnable();
}

std::string Debugger::request(std::string_view line)
{
    std::string answer = handle(line);
    updateAttention();
    return answer;
}

std::string Debugger::handle(std::string_view line)
{
    if (line.size() > kMaxRequest)
        return "error request too long";
    const std::vector<std::string_view> words = splitWords(line);
    if (words.empty())
        return "error empty request";
    const std::string_view verb = words[0];
    auto bare = [&](std::string_view name) { return sameWord(verb, name) && words.size() == 1; };

    if (bare("state"))
        return "ok state " + stateLine();
    if (bare("pause")) {
        if (!programRunning())
            return "error no program is running";
        if (!paused_)
            pauseRequested_ = true;
        return "ok pause";
    }
    if (bare("continue"))
        return resume(Resume::Continue);
    if (bare("step"))
        return resume(Resume::Into);
    if (bare("over"))
        return resume(Resume::Over);
    if (bare("out"))
        return resume(Resume::Out);
    if (sameWord(verb, "break") && words.size() == 2)
        return setBreakpoint(words[1], true);
    if (sameWord(verb, "clear") && words.size() == 2) {
        if (sameWord(words[1], "all")) {
            stops_.reset();
            return "ok clear all";
        }
        return setBreakpoint(words[1], false);
    }
    if (bare("breaks")) {
        std::string answer = "ok breaks";
        for (size_t at = 0; at < kImageBytes; ++at)
            if (stops_[at])
                answer += " " + hex4(static_cast<unsigned>(at));
        return answer;
    }
    if (sameWord(verb, "entry") && words.size() == 2 &&
        (sameWord(words[1], "on") || sameWord(words[1], "off"))) {
        entry_ = sameWord(words[1], "on");
        return entry_ ? "ok entry on" : "ok entry off";
    }
    for (const char* known :
         {"state", "pause", "continue", "step", "over", "out", "break", "clear", "breaks", "entry"})
        if (sameWord(verb, known))
            return std::string("error usage: ") + (sameWord(verb, "break")   ? "break OFFSET (0000..1FFF)"
                                                   : sameWord(verb, "clear") ? "clear OFFSET | clear all"
                                                   : sameWord(verb, "entry") ? "entry on | entry off"
                                                                             : known);
    return "error unknown request " + quoted(verb);
}

std::string Debugger::resume(Resume how)
{
    if (!programRunning())
        return "error no program is running";
    if (!paused_)
        return "error the program is not paused";
    paused_ = false;
    skipOnce_ = true;
    stepDepth_ = controller_.running().interpreter().callDepth();
    static constexpr Step kSteps[] = {Step::None, Step::Into, Step::Over, Step::Out};
    static constexpr const char* kAnswers[] = {"ok continue", "ok step", "ok over", "ok out"};
    step_ = kSteps[static_cast<int>(how)];
    return kAnswers[static_cast<int>(how)];
}

std::string Debugger::setBreakpoint(std::string_view word, bool set)
{
    unsigned at = 0;
    if (!parseOffset(word, at) || at >= kImageBytes)
        return "error " + quoted(word) + " is not an image offset 0000..1FFF";
    if (set) {
        // With a program in place a breakpoint must sit where a line starts, or it would never hit.
        const Interpreter& program = controller_.running().interpreter();
        if (controller_.running().active() && program.state() != Interpreter::State::Empty) {
            const std::vector<uint16_t> lines = program.lineOffsets();
            if (std::find(lines.begin(), lines.end(), at) == lines.end())
                return "error " + hex4(at) + " is not the first byte of a line";
        }
    }
    stops_[at] = set;
    return (set ? "ok break " : "ok clear ") + hex4(at);
}

void Debugger::updateAttention()
{
    attention_ = paused_ || pauseRequested_ || skipOnce_ || step_ != Step::None;
}

bool Debugger::stopBefore(const Interpreter& interpreter)
{
    if (paused_)
        return true;
    if (skipOnce_) {
        skipOnce_ = false;
        updateAttention();
        return false;
    }
    const uint16_t at = interpreter.position();
    const int depth = interpreter.callDepth();
    const char* reason = nullptr;
    if (entry_ && interpreter.linesRun() == 0)
        reason = "entry";
    else if (pauseRequested_)
        reason = "pause";
    else if (at < kImageBytes && stops_[at])
        reason = "breakpoint";
    else if (step_ == Step::Into || (step_ == Step::Over && depth <= stepDepth_) ||
             (step_ == Step::Out && depth < stepDepth_))
        reason = "step";
    if (!reason)
        return false;
    stop(reason, at);
    return true;
}

void Debugger::stop(const char* reason, uint16_t at)
{
    paused_ = true;
    pauseRequested_ = false;
    step_ = Step::None;
    updateAttention();
    events_.push_back(std::string("event stopped ") + reason + " at=" + hex4(at));
}

void Debugger::forgetRun()
{
    paused_ = pauseRequested_ = skipOnce_ = false;
    step_ = Step::None;
    updateAttention();
}

void Debugger::observe()
{
    const RunningState& running = controller_.running();
    const Interpreter& program = running.interpreter();
    const bool active = controller_.mode() == Mode::Running && running.active();
    const int state = static_cast<int>(program.state());
    if (wasActive_ && !active) {
        forgetRun();
        events_.push_back("event exited");
    } else if (active && (!wasActive_ || program.linesRun() < lastLines_)) {
        // A new run: what the last one was doing does not carry over (an entry stop the hook
        // has just made for it stays).
        if (!(paused_ && program.linesRun() == 0))
            forgetRun();
    }
    if (active && state != lastState_) {
        if (program.state() == Interpreter::State::Ended) {
            forgetRun();
            events_.push_back("event stopped end at=" + hex4(program.position()));
        } else if (program.state() == Interpreter::State::Failed) {
            forgetRun();
            // error() reads "at 0012: division by zero"; the line is where the program stands.
            const std::string& why = program.error();
            const size_t colon = why.find(": ");
            events_.push_back("event stopped error at=" + hex4(program.position()) + " " +
                              (colon == std::string::npos ? why : why.substr(colon + 2)));
        }
    }
    wasActive_ = active;
    lastState_ = active ? state : -1;
    lastLines_ = program.linesRun();
}

std::vector<std::string> Debugger::takeEvents()
{
    return std::exchange(events_, {});
}

void Debugger::detach()
{
    stops_.reset();
    entry_ = false;
    forgetRun();
}

std::string Debugger::stateLine() const
{
    const RunningState& running = controller_.running();
    const Interpreter& program = running.interpreter();
    const bool active = controller_.mode() == Mode::Running && running.active();
    static const char* const kStates[] = {"none", "running", "ended", "failed"};
    const char* state = !active                         ? "stopped"
                        : paused_ && program.runnable() ? "paused"
                                                        : kStates[static_cast<int>(program.state())];
    std::string line = std::string("mode=") + modeName(controller_.mode()) + " program=" + state +
                       " at=" + hex4(program.position()) + " depth=" + std::to_string(program.callDepth()) +
                       " stack=";
    const std::vector<uint16_t> returns = program.returnOffsets();
    for (size_t i = 0; i < returns.size(); ++i)
        line += (i ? "," : "") + hex4(returns[i]);
    line += " timer=" + std::to_string(running.timer()) + " buttons=" + std::to_string(running.buttons()) +
            " aux=" + std::to_string(running.auxLed()) + " vars=";
    for (int i = 0; i < kProgramVariables; ++i)
        line += (i ? "," : "") + std::to_string(program.variable(i));
    return line;
}

} // namespace sim
