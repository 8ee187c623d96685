// Taskloom's debugging logic against the simulator's own debugger: in-process on a test clock
// for the journeys, and once through the real socket of the debug channel.

#include "sim/ProgramRun.h"

#include "behaviour/ExamplePrograms.h"
#include "debugclient/DebugReply.h"
#include "debugclient/DebugSession.h"
#include "debugclient/DebugSocket.h"
#include "sim/DebugServer.h"
#include "sim/Debugger.h"
#include "sim/SimHost.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

using namespace behaviour;
using debugclient::DebugSession;
using State = DebugSession::State;
using Command = DebugSession::Command;

namespace {

constexpr uint8_t Div = 12;

// The simulator's debugger behind the channel, the controller's time moved by runFor().
struct SimulatedRobot : simtest::ProgramRun, debugclient::DebugChannel {
    sim::Debugger debugger{controller};
    std::vector<std::string> pending; // events that came while runFor() ran

    std::optional<std::string> exchange(const std::string& request) override
    {
        return debugger.request(request);
    }
    std::vector<std::string> events() override
    {
        debugger.observe();
        std::vector<std::string> all = std::exchange(pending, {});
        for (std::string& e : debugger.takeEvents())
            all.push_back(std::move(e));
        return all;
    }
    // Lets the program run for ms, in the simulator's 10 ms turns.
    void runFor(int64_t ms)
    {
        for (int64_t t = 0; t < ms; t += 10) {
            wait(10);
            debugger.observe();
            for (std::string& e : debugger.takeEvents())
                pending.push_back(std::move(e));
        }
    }
};

// A session against the simulated robot, started on a generated image as Start Debugging does.
struct Debugging {
    SimulatedRobot robot;
    DebugSession session{robot};

    // True when the first stop (or none) has been taken in after the first 20 ms.
    bool start(const BehaviorProgram& program, const std::vector<uint8_t>& image)
    {
        std::string error;
        if (!session.begin(program, &error))
            return false;
        robot.store(image);
        robot.play(0);
        robot.runFor(20);
        return session.poll();
    }
};

TEST(DebugSession, ButtonCounterPausesOnComputeAndShowsCountOneHigherAfterContinue)
{
    BehaviorProgram program;
    ASSERT_TRUE(examples::build("button_counter.tpg", program));
    const int compute = examples::firstLineWith(program, Instr::Compute);
    Debugging debugging;
    SimulatedRobot& robot = debugging.robot;
    DebugSession& session = debugging.session;
    ASSERT_TRUE(session.toggleBreakpoint(compute));

    BuildResult built = buildProgram(program);
    ASSERT_TRUE(built.ok);
    EXPECT_FALSE(debugging.start(program, built.bytes));
    robot.runFor(200);
    EXPECT_FALSE(session.poll());
    EXPECT_EQ(session.state(), State::Running);

    robot.control("press u");
    robot.control("press l");
    robot.runFor(50);
    ASSERT_TRUE(session.poll());
    EXPECT_EQ(session.state(), State::Paused);
    EXPECT_EQ(session.currentLine(), compute);
    EXPECT_EQ(session.statusText(), "Paused at line " + std::to_string(compute + 1) + ": breakpoint");
    ASSERT_EQ(session.variables().size(), 1u);
    EXPECT_EQ(session.variables()[0].name, "count");
    EXPECT_EQ(session.variables()[0].value, 0);
    EXPECT_EQ(session.lastState().depth, 1);
    EXPECT_EQ(session.lastState().buttons, 8 | 2);

    std::string error;
    ASSERT_TRUE(session.command(Command::Continue, &error)) << error;
    EXPECT_EQ(session.currentLine(), -1);
    robot.runFor(50);
    ASSERT_TRUE(session.poll());
    EXPECT_EQ(session.currentLine(), compute);
    EXPECT_EQ(session.variables()[0].value, 1);
    EXPECT_TRUE(session.variables()[0].changed);

    // Removing the breakpoint while paused reaches the simulator at once.
    ASSERT_TRUE(session.toggleBreakpoint(compute));
    EXPECT_EQ(robot.debugger.request("breaks"), "ok breaks");
    robot.control("release u");
    robot.control("release l");
    ASSERT_TRUE(session.command(Command::Continue, &error));
    robot.control("press d");
    robot.runFor(100);
    ASSERT_TRUE(session.poll());
    EXPECT_EQ(session.state(), State::Ended);
    EXPECT_EQ(session.statusText(), "The program ended");
    EXPECT_EQ(session.variables()[0].value, 2);
    EXPECT_FALSE(session.command(Command::StepOver, &error));
}

TEST(DebugSession, StartsAtTheFirstLineWithoutBreakpointsAndStepsThroughACall)
{
    // 0 START; 1 CALL sub; 2 LOAD b <- 2; 3 JUMP done; 4 (disabled); 5 sub: LOAD c <- 3;
    // 6 RETURN; 7 done: END.
    BehaviorProgram program;
    ProgramBuilder b(program);
    b.line().start();
    b.line().call("sub");
    b.line().load(Operand::name("b"), Operand::number(2));
    b.line().jump("done");
    b.line({}, "kept for later").load(Operand::name("x"), Operand::number(9));
    program.toggleEnabled(4, 4);
    b.line("sub").load(Operand::name("c"), Operand::number(3));
    b.line().ret();
    b.line("done").end();
    ASSERT_TRUE(b.ok());
    BuildResult built = buildProgram(program);
    ASSERT_TRUE(built.ok) << built.message;

    Debugging debugging;
    SimulatedRobot& robot = debugging.robot;
    DebugSession& session = debugging.session;
    std::string error;
    ASSERT_TRUE(debugging.start(program, built.bytes));
    EXPECT_EQ(session.currentLine(), 0);
    EXPECT_EQ(session.statusText(), "Paused at line 1: first line");

    struct Step {
        Command command;
        int line;
    };
    const Step steps[] = {{Command::StepInto, 1},
                          {Command::StepInto, 5},
                          {Command::StepOut, 2},
                          {Command::StepOver, 3},
                          {Command::StepOver, 7}};
    for (const Step& step : steps) {
        ASSERT_TRUE(session.command(step.command, &error)) << error;
        robot.runFor(20);
        ASSERT_TRUE(session.poll());
        EXPECT_EQ(session.currentLine(), step.line);
        EXPECT_EQ(session.state(), State::Paused);
    }
    EXPECT_EQ(session.variables()[0].name, "b");
    EXPECT_EQ(session.variables()[0].value, 2);
    EXPECT_EQ(session.variables()[1].value, 3);

    // A breakpoint on the disabled line moves to the code that runs next, at the next start.
    session.finish();
    robot.send(std::string(255, 0x55));
    ASSERT_TRUE(session.toggleBreakpoint(4));
    ASSERT_TRUE(session.begin(program, &error));
    EXPECT_EQ(session.breakpoints(), std::set<int>{5});
    while (robot.controller.menuEntry() != 2) // back in the menu, the highlight where it was
        robot.send("\t");
    robot.send("\r");
    robot.runFor(20);
    ASSERT_TRUE(session.poll());
    EXPECT_EQ(session.currentLine(), 5);
    EXPECT_EQ(session.statusText(), "Paused at line 6: breakpoint");
}

TEST(DebugSession, DivisionByZeroShowsItsLineAndReason)
{
    BehaviorProgram program;
    ProgramBuilder b(program);
    b.line().start();
    b.line().load(Operand::name("zero"), Operand::number(0));
    b.line().compute(Operand::name("r"), Operand::number(7), Div, Operand::name("zero"));
    b.line().end();
    ASSERT_TRUE(b.ok());
    BuildResult built = buildProgram(program);
    ASSERT_TRUE(built.ok);
    Debugging debugging;
    SimulatedRobot& robot = debugging.robot;
    DebugSession& session = debugging.session;
    session.toggleBreakpoint(1);
    ASSERT_TRUE(debugging.start(program, built.bytes));
    EXPECT_EQ(session.currentLine(), 1);
    std::string error;
    ASSERT_TRUE(session.command(Command::Continue, &error));
    robot.runFor(20);
    ASSERT_TRUE(session.poll());
    EXPECT_EQ(session.state(), State::Failed);
    EXPECT_EQ(session.currentLine(), 2);
    EXPECT_EQ(session.statusText(), "Stopped at line 3: division by zero");
    EXPECT_FALSE(session.command(Command::Continue, &error));
}

TEST(DebugReply, EventsAndStatesReadOnlyWhenWellFormed)
{
    using Kind = debugclient::DebugEvent::Kind;
    struct Case {
        const char* line;
        Kind kind;
        int offset;
    };
    const Case events[] = {
        {"event stopped breakpoint at=0012", Kind::Breakpoint, 0x12},
        {"event stopped step at=1FFF", Kind::Step, 0x1FFF},
        {"event stopped entry at=0000", Kind::Entry, 0},
        {"event stopped error at=0003 division by zero", Kind::Error, 3},
        {"event exited", Kind::Exited, -1},
        {"event stopped breakpoint at=12", Kind::None, -1},
        {"event stopped breakpoint at=00123", Kind::None, -1},
        {"event stopped error at=0003", Kind::None, -1},
        {"event stopped nowhere at=0003", Kind::None, -1},
        {"event stopped step at=-001", Kind::None, -1},
        {"ok state", Kind::None, -1},
        {"", Kind::None, -1},
    };
    for (const Case& c : events) {
        const debugclient::DebugEvent e = debugclient::parseEvent(c.line);
        EXPECT_EQ(e.kind, c.kind) << c.line;
        EXPECT_EQ(e.offset, c.offset) << c.line;
    }
    const std::string vars =
        "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,"
        "32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,-49";
    const std::string good = "ok state mode=running program=paused at=0012 depth=2 stack=0005,0020 timer=7 "
                             "buttons=10 aux=1 vars=" +
                             vars;
    const debugclient::DebugState state = debugclient::parseState(good);
    ASSERT_TRUE(state.ok);
    EXPECT_EQ(state.program, "paused");
    EXPECT_EQ(state.offset, 0x12);
    EXPECT_EQ(state.stack, (std::vector<int>{5, 0x20}));
    EXPECT_EQ(state.variables[49], -49);
    EXPECT_EQ(state.buttons, 10);
    const std::string bad[] = {
        "ok state mode=running program=paused at=0012 depth=0 stack= timer=0 buttons=0 aux=0 vars=1,2",
        "ok state mode=running program=paused at=0012 depth=0 stack= timer=0 buttons=0 aux=0 vars=" + vars +
            ",50",
        "ok state mode=running program=paused at=12 depth=0 stack= timer=0 buttons=0 aux=0 vars=" + vars,
        "ok state mode=running program=paused at=0012 depth=x stack= timer=0 buttons=0 aux=0 vars=" + vars,
        "ok state mode=running program=paused at=0012 depth=0 stack=1 timer=0 buttons=0 aux=0 vars=" + vars,
        "ok state program=paused at=0012 depth=0 stack= timer=0 buttons=0 aux=0 vars=" + vars,
        "ok state mode=running program=paused at=0012 depth=0 stack= timer=99999 buttons=0 aux=0 vars=" +
            vars,
        "error no program is running",
    };
    for (const std::string& line : bad)
        EXPECT_FALSE(debugclient::parseState(line).ok) << line;
}

TEST(DebugSocket, TheChannelIsPrivateAndCarriesAnswersAndEvents)
{
    testsupport::TempFolder folder;
    const std::string path = folder.file("COM9.debug");
    simtest::ProgramRun robot;
    sim::Debugger debugger(robot.controller);
    sim::DebugServer server(debugger);
    std::string error;
    ASSERT_TRUE(server.open(path, &error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The simulator's loop, on a thread of its own as in kz7sim: it owns the controller.
    BehaviorProgram program;
    ASSERT_TRUE(examples::build("counter_printer.tpg", program));
    BuildResult built = buildProgram(program);
    ASSERT_TRUE(built.ok);
    robot.store(built.bytes);
    std::atomic<bool> stop{false}, play{false}, ended{false};
    std::thread loop([&] {
        bool played = false;
        while (!stop) {
            if (play && !played) {
                robot.play(0);
                played = true;
            }
            std::vector<pollfd> fds;
            server.pollFds(fds);
            ::poll(fds.data(), fds.size(), 5);
            robot.wait(5);
            server.service();
            ended = robot.programState() == sim::Interpreter::State::Ended;
        }
    });

    debugclient::DebugSocket socket;
    ASSERT_TRUE(socket.open(path, &error)) << error;
    EXPECT_EQ(socket.exchange("bogus"), "error unknown request bogus");
    EXPECT_EQ(socket.exchange(std::string(5000, 'b')), "error request too long");
    EXPECT_EQ(socket.exchange("entry on"), "ok entry on");
    play = true;
    std::vector<std::string> events;
    for (int i = 0; i < 400 && events.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        events = socket.events();
    }
    EXPECT_EQ(events, std::vector<std::string>{"event stopped entry at=0000"});
    EXPECT_EQ(socket.exchange("continue"), "ok continue");
    socket.close();
    // The debugger that left lets the program run on to its end.
    for (int i = 0; i < 2000 && !ended; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    loop.join();
    EXPECT_EQ(robot.controller.running().interpreter().state(), sim::Interpreter::State::Ended);
    EXPECT_EQ(server.clientCount(), 0u);
}

TEST(DebugSocket, TheSimulatorHostOffersTheChannelBesideItsPortAndTakesItAway)
{
    testsupport::PortFolder ports;
    sim::SimOptions options;
    options.com = 9;
    std::string error;
    {
        sim::SimHost host;
        ASSERT_EQ(host.open(options, &error), sim::SimHost::Failure::None) << error;
        EXPECT_TRUE(host.debugChannelProblem().empty());
        ASSERT_TRUE(debugclient::debugChannelOffered(9));
        EXPECT_FALSE(debugclient::debugChannelOffered(8));
        ASSERT_TRUE(host.startThread(&error)) << error;
        debugclient::DebugSocket socket;
        ASSERT_TRUE(socket.open(debugclient::debugSocketPath(9), &error)) << error;
        const std::optional<std::string> answer = socket.exchange("state");
        ASSERT_TRUE(answer);
        const debugclient::DebugState state = debugclient::parseState(*answer);
        EXPECT_TRUE(state.ok) << *answer;
        EXPECT_EQ(state.mode, "menu");
        EXPECT_EQ(state.program, "stopped");
        EXPECT_EQ(socket.exchange("pause"), "error no program is running");
    }
    EXPECT_FALSE(debugclient::debugChannelOffered(9));
}

} // namespace
