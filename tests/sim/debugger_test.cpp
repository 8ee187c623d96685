// The simulator's debugger on a test clock: the line <-> offset table of the generator against
// what the interpreter stops at, the request protocol (good, malformed, out of range), and runs
// of real programs held at breakpoints, stepped through CALLs and stopped by a fault.

#include "ProgramRun.h"

#include "../behaviour/ExamplePrograms.h"
#include "sim/Debugger.h"
#include "sim/ProgramDecoder.h"

#include <gtest/gtest.h>

#include <set>

using namespace behaviour;
using simtest::ProgramRun;

namespace {

constexpr int TimerReg = 46, PrintLf = 50;
constexpr uint8_t Div = 12, Add = 9;

struct Built {
    BehaviorProgram program;
    std::vector<uint8_t> image;
};

// Builds with the same check and generator a download uses; the table comes with the image.
std::unique_ptr<Built> build(const std::function<bool(BehaviorProgram&)>& write)
{
    auto built = std::make_unique<Built>();
    if (!write(built->program))
        return nullptr;
    BuildResult result = buildProgram(built->program);
    if (!result.ok)
        return nullptr;
    built->image = result.bytes;
    return built;
}

std::unique_ptr<Built> example(const std::string& name)
{
    return build([&](BehaviorProgram& p) { return examples::build(name, p); });
}

std::string hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

// The value after "name=" in a state line.
std::string field(const std::string& line, const std::string& name)
{
    size_t at = line.find(" " + name + "=");
    if (at == std::string::npos)
        return "<none>";
    at += name.size() + 2;
    return line.substr(at, line.find(' ', at) - at);
}

int variable(const std::string& state, int index)
{
    std::string vars = field(state, "vars") + ",";
    size_t at = 0;
    for (int i = 0; i < index; ++i)
        at = vars.find(',', at) + 1;
    return std::stoi(vars.substr(at));
}

struct DebugRun : ProgramRun {
    sim::Debugger debugger{controller};

    // Lets time pass as the simulator's loop does: the controller's turn, then the debugger's.
    std::vector<std::string> events(int64_t ms)
    {
        std::vector<std::string> all;
        for (int64_t t = 0; t < ms; t += 10) {
            wait(10);
            debugger.observe();
            for (std::string& e : debugger.takeEvents())
                all.push_back(std::move(e));
        }
        return all;
    }
    std::string ask(const std::string& line) { return debugger.request(line); }
    // The image in memory and played from the menu.
    void start(const std::vector<uint8_t>& image)
    {
        store(image);
        play(0);
    }
    std::string state() { return debugger.stateLine(); }
};

TEST(LineAddressTable, EveryLineWithCodeHasTheOffsetTheInterpreterStopsAt)
{
    for (const examples::Example& e : examples::all()) {
        SCOPED_TRACE(e.fileName);
        auto built = build(e.build);
        ASSERT_TRUE(built);
        const BehaviorProgram& p = built->program;
        const LineAddressTable& table = p.lineTable;
        // The offsets the interpreter can stand at are exactly the table's, and each maps back.
        sim::DecodedProgram decoded = sim::decodeProgram(built->image.data(), built->image.size() - 1);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        std::set<int> stops, listed;
        for (const sim::ProgramStatement& st : decoded.statements)
            stops.insert(st.offset);
        for (const LineAddressTable::Entry& entry : table.entries) {
            listed.insert(entry.address);
            EXPECT_EQ(table.lineAt(entry.address), entry.line);
            EXPECT_EQ(table.addressOf(entry.line), entry.address);
        }
        EXPECT_EQ(stops, listed);
        // Every line from START to END that is edited and enabled has code, and only those.
        bool inside = false;
        for (int l = 0; l < p.count(); ++l) {
            const bool start = p.cell(l, 0).inUse() && p.cell(l, 0).code[2] == Instr::Start;
            inside = inside || start;
            const bool hasCode = inside && p.line(l).active() && p.cell(l, 0).inUse();
            EXPECT_EQ(table.addressOf(l) >= 0, hasCode) << "line " << l;
            if (inside && p.cell(l, 0).inUse() && p.cell(l, 0).code[2] == Instr::End)
                inside = false;
        }
        EXPECT_EQ(table.lineAt(static_cast<int>(built->image.size())), -1);
    }
}

TEST(Debugger, BadRequestsAnswerAnErrorAndChangeNothing)
{
    DebugRun run;
    ASSERT_EQ(run.ask("break 0012"), "ok break 0012");
    ASSERT_EQ(run.ask("entry on"), "ok entry on");
    const std::string breaksBefore = run.ask("breaks");
    ASSERT_EQ(breaksBefore, "ok breaks 0012");

    struct Case {
        std::string request;
        std::string answer;
    };
    const Case cases[] = {
        {"", "error empty request"},
        {"   ", "error empty request"},
        {"jump 0012", "error unknown request jump"},
        {"break", "error usage: break OFFSET (0000..1FFF)"},
        {"break 12 13", "error usage: break OFFSET (0000..1FFF)"},
        {"break 2000", "error 2000 is not an image offset 0000..1FFF"},
        {"break FFFF", "error FFFF is not an image offset 0000..1FFF"},
        {"break 12345", "error 12345 is not an image offset 0000..1FFF"},
        {"break -1", "error -1 is not an image offset 0000..1FFF"},
        {"break 0x", "error 0x is not an image offset 0000..1FFF"},
        {"break 1g", "error 1g is not an image offset 0000..1FFF"},
        {"clear 2000", "error 2000 is not an image offset 0000..1FFF"},
        {"clear", "error usage: clear OFFSET | clear all"},
        {"entry maybe", "error usage: entry on | entry off"},
        {"state now", "error usage: state"},
        {std::string("br\x01"
                     "eak"),
         "error unknown request br?eak"},
        {std::string(300, 'x'), "error request too long"},
        // Nothing runs yet: the run requests have nothing to act on.
        {"pause", "error no program is running"},
        {"continue", "error no program is running"},
        {"step", "error no program is running"},
        {"over", "error no program is running"},
        {"out", "error no program is running"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run.ask(c.request), c.answer) << c.request;
        EXPECT_EQ(run.ask("breaks"), breaksBefore) << c.request;
    }
    EXPECT_EQ(run.ask("BREAK 0x1fff"), "ok break 1FFF");
    EXPECT_EQ(run.ask("clear all"), "ok clear all");
    EXPECT_EQ(run.ask("breaks"), "ok breaks");

    // With a program running, a breakpoint must be where a line starts; a running program
    // cannot be stepped.
    auto built = example("counter_printer.tpg");
    ASSERT_TRUE(built);
    run.ask("entry off");
    run.store(built->image);
    run.play(20);
    const int second = built->program.lineTable.entries.at(1).address;
    EXPECT_EQ(run.ask("break " + hex4(second + 1)),
              "error " + hex4(second + 1) + " is not the first byte of a line");
    EXPECT_EQ(run.ask("breaks"), "ok breaks");
    EXPECT_EQ(run.ask("step"), "error the program is not paused");
    EXPECT_EQ(run.ask("break " + hex4(second)), "ok break " + hex4(second));
}

TEST(Debugger, ButtonCounterStopsOnComputeAndCountsOnePerContinue)
{
    auto built = example("button_counter.tpg");
    ASSERT_TRUE(built);
    const int computeLine = examples::firstLineWith(built->program, Instr::Compute);
    const int computeAt = built->program.lineTable.addressOf(computeLine);
    ASSERT_GE(computeAt, 0);

    DebugRun run;
    run.store(built->image);
    EXPECT_EQ(run.ask("break " + hex4(computeAt)), "ok break " + hex4(computeAt));
    run.play(0);
    EXPECT_TRUE(run.events(500).empty()); // nobody presses: it waits in its loop
    run.control("press u");
    run.control("press l");
    const std::string hit = "event stopped breakpoint at=" + hex4(computeAt);
    EXPECT_EQ(run.events(100), std::vector<std::string>{hit});
    std::string state = run.state();
    EXPECT_EQ(field(state, "program"), "paused");
    EXPECT_EQ(field(state, "depth"), "1");
    EXPECT_EQ(variable(state, 0), 0); // count, the first name
    const std::string timer = field(state, "timer");
    // Held: no line runs and the timer stands still however long the pause.
    const uint64_t lines = run.controller.running().interpreter().linesRun();
    EXPECT_TRUE(run.events(3000).empty());
    EXPECT_EQ(run.controller.running().interpreter().linesRun(), lines);
    EXPECT_EQ(field(run.state(), "timer"), timer);

    EXPECT_EQ(run.ask("continue"), "ok continue");
    EXPECT_EQ(run.events(100), std::vector<std::string>{hit});
    EXPECT_EQ(variable(run.state(), 0), 1);
    EXPECT_EQ(built->program.lineTable.lineAt(std::stoi(field(" " + run.state(), "at"), nullptr, 16)),
              computeLine);

    // Without the breakpoint it runs on; Down ends it and the end is reported.
    EXPECT_EQ(run.ask("clear all"), "ok clear all");
    EXPECT_EQ(run.ask("continue"), "ok continue");
    run.control("release u");
    run.control("release l");
    run.control("press d");
    std::vector<std::string> events = run.events(200);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("event stopped end at=", 0), 0u) << events[0];
    EXPECT_NE(run.take().find("2\r\n"), std::string::npos);
    EXPECT_EQ(run.ask("continue"), "error no program is running");
    // Leaving the running state is reported too.
    run.send(std::string(255, 0x55));
    EXPECT_EQ(run.events(20), std::vector<std::string>{"event exited"});
}

TEST(Debugger, StepIntoOverAndOutOfACall)
{
    // 0 START; 1 LOAD a <- 1; 2 CALL sub; 3 LOAD b <- 2; 4 JUMP done; 5 sub: LOAD c <- 3;
    // 6 RETURN; 7 done: END.
    auto built = build([](BehaviorProgram& p) {
        ProgramBuilder b(p);
        b.line().start();
        b.line().load(Operand::name("a"), Operand::number(1));
        b.line().call("sub");
        b.line().load(Operand::name("b"), Operand::number(2));
        b.line().jump("done");
        b.line("sub").load(Operand::name("c"), Operand::number(3));
        b.line().ret();
        b.line("done").end();
        return b.ok();
    });
    ASSERT_TRUE(built);
    const LineAddressTable& table = built->program.lineTable;

    struct Case {
        const char* name;
        std::vector<std::string> requests; // after the entry stop
        int line;                          // where the last one stops
        int depth;
    };
    const Case cases[] = {
        {"step walks line by line", {"step", "step"}, 2, 0},
        {"step into the call", {"step", "step", "step"}, 5, 1},
        {"over the call", {"over", "over", "over"}, 3, 0},
        {"out of the call", {"step", "step", "step", "out"}, 3, 0},
        {"over inside the call", {"step", "step", "step", "over"}, 6, 1},
        {"over a RETURN leaves the call", {"step", "step", "step", "over", "over"}, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DebugRun run;
        ASSERT_EQ(run.ask("entry on"), "ok entry on");
        run.start(built->image);
        ASSERT_EQ(run.events(30), std::vector<std::string>{"event stopped entry at=0000"});
        std::vector<std::string> events;
        for (const std::string& request : c.requests) {
            ASSERT_EQ(run.ask(request), "ok " + request);
            events = run.events(30);
            ASSERT_EQ(events.size(), 1u);
            ASSERT_EQ(events[0].rfind("event stopped step at=", 0), 0u) << events[0];
        }
        const int at = std::stoi(events.back().substr(events.back().find('=') + 1), nullptr, 16);
        EXPECT_EQ(table.lineAt(at), c.line);
        EXPECT_EQ(field(run.state(), "depth"), std::to_string(c.depth));
    }

    // Out at the top level runs on to the end.
    DebugRun run;
    run.ask("entry on");
    run.start(built->image);
    run.events(30);
    EXPECT_EQ(run.ask("out"), "ok out");
    std::vector<std::string> events = run.events(30);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "event stopped end at=" + hex4(table.addressOf(7)));
    const std::string state = run.state();
    EXPECT_EQ(variable(state, 0) * 100 + variable(state, 1) * 10 + variable(state, 2), 123); // a, b, c
}

TEST(Debugger, DivisionByZeroStopsWithItsLineAndReason)
{
    auto built = build([](BehaviorProgram& p) {
        ProgramBuilder b(p);
        b.line().start();
        b.line().load(Operand::name("zero"), Operand::number(0));
        b.line().compute(Operand::name("r"), Operand::number(7), Div, Operand::name("zero"));
        b.line().load(Operand::kz7(PrintLf), Operand::name("r"));
        b.line().end();
        return b.ok();
    });
    ASSERT_TRUE(built);
    DebugRun run;
    run.start(built->image);
    std::vector<std::string> events = run.events(50);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0],
              "event stopped error at=" + hex4(built->program.lineTable.addressOf(2)) + " division by zero");
    EXPECT_EQ(field(run.state(), "program"), "failed");
}

TEST(Debugger, PauseHoldsALoopAndADebuggerThatLeavesLetsItRunOn)
{
    auto built = build([](BehaviorProgram& p) {
        ProgramBuilder b(p);
        b.line().start();
        b.line("again").compute(Operand::name("n"), Operand::name("n"), Add, Operand::number(1));
        b.line().load(Operand::kz7(TimerReg), Operand::number(50));
        b.line().jump("again");
        b.line().end();
        return b.ok();
    });
    ASSERT_TRUE(built);
    DebugRun run;
    run.start(built->image);
    run.events(100);
    EXPECT_EQ(run.ask("pause"), "ok pause");
    std::vector<std::string> events = run.events(20);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("event stopped pause at=", 0), 0u);
    const int n = variable(run.state(), 0);
    run.events(200);
    EXPECT_EQ(variable(run.state(), 0), n);
    EXPECT_EQ(run.ask("break " + hex4(built->program.lineTable.addressOf(1))), "ok break 0001");
    run.debugger.detach();
    EXPECT_EQ(run.ask("breaks"), "ok breaks");
    EXPECT_TRUE(run.events(200).empty());
    EXPECT_GT(variable(run.state(), 0), n);
    EXPECT_EQ(field(run.state(), "program"), "running");
}

} // namespace
