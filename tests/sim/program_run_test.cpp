// What each instruction does when the running state plays a generated image, on a test clock:
// arithmetic, conditions and chains, calls, the controller's registers and the bus devices.

#include "ProgramRun.h"

#include "sim/FieldPainter.h"
#include "sim/ScreenEditor.h"

#include <gtest/gtest.h>

using namespace behaviour;
using simtest::imageOf;
using simtest::ProgramRun;
using Builder = behaviour::ProgramBuilder;
using State = sim::Interpreter::State;

namespace {

// Catalogue entries.
constexpr int MotionPage = 39, MotionStatus = 40, RxRemocon = 42, RxArrived = 43, AuxLed = 44, ButtonReg = 45,
              TimerReg = 46, Print = 49, PrintLf = 50;
constexpr int GoalPosition = 11, PresentPosition = 14, LeftIr = 20, BuzzerIndex = 32;
// Comparisons and operators as the builder numbers them.
constexpr uint8_t Eq = 3, Gt = 4, Ge = 5, Lt = 6, Le = 7, Ne = 8;
constexpr uint8_t Add = 9, Sub = 10, Mul = 11, Div = 12, And = 13, Or = 14;

Operand num(int v)
{
    return Operand::number(v);
}
Operand var(const char* name)
{
    return Operand::name(name);
}
Operand kz7(int entry)
{
    return Operand::kz7(entry);
}

// START, the body, END.
std::vector<uint8_t> program(const std::function<void(Builder&)>& body)
{
    return imageOf([&](Builder& b) {
        b.line().start();
        body(b);
        b.line().end();
    });
}

// COMPUTE r = a op b; print r.
std::vector<uint8_t> computes(int left, uint8_t op, int right)
{
    return program([&](Builder& b) {
        b.line().load(var("a"), num(left));
        b.line().compute(var("r"), var("a"), op, num(right));
        b.line().load(kz7(PrintLf), var("r"));
    });
}

} // namespace

TEST(ProgramRun, ComputesInSixteenBitsAndPrintsInDecimal)
{
    struct Row {
        int a;
        uint8_t op;
        int b;
        const char* printed;
    };
    const Row rows[] = {
        {7, Add, 5, "12"},         {3, Sub, 5, "-2"},         {300, Mul, 300, "24464"}, // 90000 wraps
        {32767, Add, 1, "-32768"}, {7, Div, 2, "3"},          {12, And, 10, "8"},
        {12, Or, 10, "14"},        {40000, Add, 0, "-25536"}, {70000, Add, 0, "4464"}, // typed: low 16 bits
        {0, Sub, 32768, "-32768"}, {32767, Mul, 2, "-2"},
    };
    for (const Row& row : rows) {
        ProgramRun sim;
        std::vector<uint8_t> image = computes(row.a, row.op, row.b);
        ASSERT_FALSE(image.empty());
        EXPECT_EQ(sim.run(image, 50), std::string(row.printed) + "\r\n")
            << row.a << " op " << int(row.op) << " " << row.b;
        EXPECT_EQ(sim.programState(), State::Ended);
    }
    // Division truncates towards zero; -32768 / -1 wraps back to -32768.
    ProgramRun sim;
    auto image = program([](Builder& b) {
        b.line().compute(var("m"), num(0), Sub, num(7));
        b.line().compute(var("r"), var("m"), Div, num(2));
        b.line().load(kz7(PrintLf), var("r"));
        b.line().compute(var("m"), num(0), Sub, num(32768));
        b.line().compute(var("n"), num(0), Sub, num(1));
        b.line().compute(var("r"), var("m"), Div, var("n"));
        b.line().load(kz7(Print), var("r"));
    });
    EXPECT_EQ(sim.run(image, 50), "-3\r\n-32768");
}

TEST(ProgramRun, ComparesSigned)
{
    struct Row {
        uint8_t cmp;
        int left;
        int right;
        bool holds;
    };
    const Row rows[] = {
        {Eq, 5, 5, true},  {Eq, 5, 6, false}, {Gt, 6, 5, true},     {Gt, 5, 5, false}, {Ge, 5, 5, true},
        {Ge, 4, 5, false}, {Lt, 4, 5, true},  {Lt, 5, 5, false},    {Le, 5, 5, true},  {Le, 6, 5, false},
        {Ne, 4, 5, true},  {Ne, 5, 5, false}, {Lt, 40000, 1, true}, // 40000 reads as -25536
    };
    for (const Row& row : rows) {
        ProgramRun sim;
        auto image = program([&](Builder& b) {
            b.line().load(var("x"), num(row.left));
            b.line()
                .condition(Instr::If, var("x"), row.cmp, num(row.right), Conn::Then)
                .load(kz7(Print), num(1));
            b.line().otherwise().load(kz7(Print), num(0));
        });
        EXPECT_EQ(sim.run(image, 50), row.holds ? "1" : "0")
            << int(row.cmp) << " " << row.left << " " << row.right;
    }
}

TEST(ProgramRun, ChainsRunOneBranchAndConditionsContinueLeftToRight)
{
    // IF x = 1 THEN print 1; ELSE IF x = 2 THEN print 2; ELSE print 3; then print 9.
    for (int x : {1, 2, 5}) {
        ProgramRun sim;
        auto image = program([&](Builder& b) {
            b.line().load(var("x"), num(x));
            b.line().condition(Instr::If, var("x"), Eq, num(1), Conn::Then).load(kz7(Print), num(1));
            b.line().condition(Instr::ElseIf, var("x"), Eq, num(2), Conn::Then).load(kz7(Print), num(2));
            b.line().otherwise().load(kz7(Print), num(3));
            b.line().load(kz7(Print), num(9));
        });
        EXPECT_EQ(sim.run(image, 50), std::to_string(x == 5 ? 3 : x) + "9") << x;
    }
    // a OR b AND c, evaluated as (a OR b) AND c: true OR false AND false is false.
    struct Row {
        int a, b, c;
        const char* printed;
    };
    const Row rows[] = {{1, 0, 0, "0"}, {1, 0, 1, "1"}, {0, 1, 1, "1"}, {0, 0, 1, "0"}};
    for (const Row& row : rows) {
        ProgramRun sim;
        auto image = program([&](Builder& b) {
            b.line().condition(Instr::If, num(row.a), Eq, num(1), Conn::Or);
            b.line().condition(Instr::ContIf, num(row.b), Eq, num(1), Conn::And);
            b.line().condition(Instr::ContIf, num(row.c), Eq, num(1), Conn::Then).load(kz7(Print), num(1));
            b.line().otherwise().load(kz7(Print), num(0));
        });
        EXPECT_EQ(sim.run(image, 50), row.printed) << row.a << row.b << row.c;
    }
}

TEST(ProgramRun, CallsReturnPastTheChainAndStopOnStackFaults)
{
    // A call from a THEN returns past the ELSE; variables start at 0.
    ProgramRun sim;
    auto image = program([](Builder& b) {
        b.line().load(kz7(Print), var("never"));
        b.line().condition(Instr::If, num(1), Eq, num(1), Conn::Then).call("sub");
        b.line().otherwise().load(kz7(Print), num(7));
        b.line().call("sub");
        b.line().jump("out");
        b.line("sub").compute(var("n"), var("n"), Add, num(1));
        b.line().load(kz7(Print), var("n"));
        b.line().ret();
        b.line("out").load(kz7(PrintLf), num(0));
    });
    EXPECT_EQ(sim.run(image, 50), "0120\r\n");
    EXPECT_EQ(sim.programState(), State::Ended);

    struct Row {
        const char* what;
        std::vector<uint8_t> image;
        const char* error;
    };
    const Row rows[] = {
        {"endless recursion", program([](Builder& b) { b.line("self").call("self"); }),
         "call stack overflow"},
        {"RETURN without CALL", program([](Builder& b) { b.line().ret(); }), "RETURN without CALL"},
        {"division by zero",
         program([](Builder& b) { b.line().compute(var("r"), num(1), Div, var("zero")); }),
         "division by zero"},
    };
    for (const Row& row : rows) {
        ProgramRun faulty;
        std::string out = faulty.run(row.image, 500);
        EXPECT_EQ(faulty.programState(), State::Failed) << row.what;
        // One line, and nothing after it.
        EXPECT_EQ(out.rfind("Program error at ", 0), 0u) << row.what << ": " << out;
        EXPECT_NE(out.find(row.error), std::string::npos) << out;
        EXPECT_EQ(out.find("\r\n"), out.size() - 2) << out;
        EXPECT_EQ(faulty.send("", 2000), "");
    }
}

TEST(ProgramRun, AMalformedImageStopsWithOneErrorLine)
{
    ProgramRun sim;
    sim.store({0x04, 0x02, 0x05, 0x00, 0x00, 0x9C, 0x00, 0x00, 0x05, 0x00}); // source type 9C
    std::string out = sim.play(3000);
    EXPECT_EQ(out, "Program error at 0005: unknown operand type 9C. The program is stopped.\r\n");
    EXPECT_EQ(sim.controller.mode(), sim::Mode::Running);
    // Still leaves on the burst.
    sim.send(std::string(255, 0x55), 0);
    EXPECT_EQ(sim.controller.mode(), sim::Mode::Menu);
}

TEST(ProgramRun, NamedIdsAndAddressesResolveThroughVariables)
{
    ProgramRun sim;
    ASSERT_TRUE(sim.control("sensor 100 0x1a 75"));
    auto image = program([](Builder& b) {
        b.line().load(var("dev"), num(100));
        b.line().load(var("reg"), num(0x1a));
        b.line().load(kz7(PrintLf), Operand::custom("dev", "reg")); // both named
        b.line().load(kz7(PrintLf), Operand::custom("100", "reg")); // named address
        b.line().load(kz7(PrintLf), Operand::custom("dev", "26"));  // named ID
        b.line().load(var("dev"), num(300));                        // names no device
        b.line().load(kz7(PrintLf), Operand::custom("dev", "reg"));
        b.line().load(Operand::custom("dev", "reg"), num(5)); // written to nobody
    });
    EXPECT_EQ(sim.run(image, 50), "75\r\n75\r\n75\r\n0\r\n");
    EXPECT_EQ(sim.programState(), State::Ended);
}

TEST(ProgramRun, ControllerRegistersFollowTheControlChannel)
{
    ProgramRun sim;
    // Echo the buttons and the remote data whenever they change; wait for the timer first.
    auto image = program([](Builder& b) {
        b.line().load(kz7(TimerReg), num(5));
        b.line("wait").condition(Instr::If, kz7(TimerReg), Gt, num(0), Conn::Then).jump("wait");
        b.line().load(kz7(PrintLf), num(65535)); // -1
        // (A comparison with "Button" on its left takes a button constant on its right.)
        b.line("loop").load(var("now"), kz7(ButtonReg));
        b.line().condition(Instr::If, var("now"), Ne, var("last"), Conn::Then).call("show");
        b.line()
            .condition(Instr::If, kz7(RxArrived), Eq, num(1), Conn::Then)
            .load(kz7(PrintLf), kz7(RxRemocon));
        b.line().jump("loop");
        b.line("show").load(var("last"), var("now"));
        b.line().load(kz7(PrintLf), var("last"));
        b.line().ret();
    });
    sim.store(image);
    EXPECT_EQ(sim.play(450), "") << "the timer counts down in tenths of a second";
    EXPECT_EQ(sim.send("", 100), "-1\r\n");
    struct Step {
        const char* command;
        const char* printed;
    };
    const Step steps[] = {
        {"press U", "8\r\n"},   {"press left", "10\r\n"},     {"release up", "2\r\n"},
        {"release L", "0\r\n"}, {"press START", "16\r\n"},    {"press d", "20\r\n"},
        {"release s", "4\r\n"}, {"remocon 1234", "1234\r\n"}, {"release down", "0\r\n"},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(sim.control(step.command)) << step.command;
        EXPECT_EQ(sim.send("", 30), step.printed) << step.command;
    }
    EXPECT_EQ(sim.controller.running().buttons(), 0);
    EXPECT_FALSE(sim.control("press X"));
    EXPECT_FALSE(sim.control("sensor 101 0x1a 5")) << "no such sensor module";
    EXPECT_FALSE(sim.control("sensor 100 0x1a"));
    EXPECT_FALSE(sim.control("sensor 100 0x100 5"));
    EXPECT_FALSE(sim.control("sensor 100 0x-5 5"));
    EXPECT_FALSE(sim.control("sensor 100 26 +5"));
    EXPECT_TRUE(sim.control("sensor 100 26 65535"));
    EXPECT_EQ(sim.state().deviceRegister(100, 26), -1);
    EXPECT_FALSE(sim.control("remocon lots"));
}

TEST(ProgramRun, ServosMoveTheJointsTheEditorShows)
{
    sim::JointTable table = simtest::robotWithSensor();
    table.setUnknown("7");
    ProgramRun sim(table);
    auto image = program([](Builder& b) {
        b.line().load(Operand::device("J3", 3, GoalPosition), num(700));
        b.line().load(kz7(PrintLf), Operand::device("J3", 3, PresentPosition));
        b.line().load(Operand::device("J4", 4, GoalPosition), num(2000));   // clamped
        b.line().load(Operand::device("all", 254, GoalPosition), num(100)); // broadcast reaches 1..18
        b.line().load(Operand::device("J5", 5, GoalPosition), num(900));
        b.line().load(kz7(PrintLf), Operand::device("J7", 7, PresentPosition));   // does not report
        b.line().load(kz7(PrintLf), Operand::device("J20", 20, PresentPosition)); // not on the bus
    });
    EXPECT_EQ(sim.run(image, 50), "700\r\n-1\r\n0\r\n");
    EXPECT_EQ(sim.controller.editor().currentValue(3), 100);
    EXPECT_EQ(sim.controller.editor().currentValue(5), 900);
    EXPECT_EQ(sim.controller.editor().currentValue(1), 100);
    // After the program the screen shows the joints where the program left them.
    sim.send(std::string(255, 0x55), 200);
    sim.send("\t\t", 1200); // from entry 2 to entry 1
    std::string screen = sim.send("\r", 500);
    EXPECT_NE(screen.find(sim::FieldPainter::header(6, 20) + " 900"), std::string::npos) << "joint 5's row";
}

TEST(ProgramRun, MotionPagesPlayAsTheEditorPlaysThem)
{
    ProgramRun sim;
    sim::MotionPage page;
    page.poseCount = 2;
    page.poses[0].values.fill(300);
    page.poses[1].values.fill(600);
    page.poses[1].pause = 10; // 100 ms more
    page.encode(sim.memory.page(2));
    auto image = program([](Builder& b) {
        b.line().load(kz7(MotionPage), num(2));
        b.line("busy").condition(Instr::If, kz7(MotionStatus), Eq, num(1), Conn::Then).jump("busy");
        b.line().load(kz7(PrintLf), kz7(MotionPage));
        b.line().load(kz7(PrintLf), Operand::device("J1", 1, PresentPosition));
    });
    sim.store(image);
    EXPECT_EQ(sim.play(200), "") << "the first pose comes after 150 ms";
    EXPECT_EQ(sim.controller.editor().currentValue(1), 300);
    EXPECT_EQ(sim.send("", 300), "2\r\n600\r\n");
    EXPECT_FALSE(sim.controller.editor().playing());
}

TEST(ProgramRun, IsPacedAndLeavesOnTheBurstAtOnce)
{
    ProgramRun sim;
    auto image = program([](Builder& b) { b.line("spin").jump("spin"); });
    sim.store(image);
    sim.play(1000);
    uint64_t lines = sim.state().interpreter().linesRun();
    EXPECT_GT(lines, 0u);
    EXPECT_LE(lines, static_cast<uint64_t>(sim::RunningState::kLinesPerMs * 1010));
    // A long pause earns no burst of lines beyond the catch-up bound.
    sim.now += 60000;
    sim.controller.advance(sim.now);
    EXPECT_LE(sim.state().interpreter().linesRun() - lines,
              static_cast<uint64_t>(sim::RunningState::kLinesPerMs * sim::RunningState::kMaxCatchUpMs));
    // The burst is taken between slices: the menu follows its last byte, with no time passing.
    sim.controller.receive(std::string(255, 0x55));
    EXPECT_EQ(sim.controller.mode(), sim::Mode::Menu);
    EXPECT_EQ(sim.state().interpreter().state(), State::Empty);
}

TEST(ProgramRun, PrintsWaitForTheLineInsteadOfLosingOutput)
{
    ProgramRun sim;
    auto image = program([](Builder& b) {
        b.line("again").compute(var("n"), var("n"), Add, num(1));
        b.line().load(kz7(PrintLf), var("n"));
        b.line().condition(Instr::If, var("n"), Lt, num(3000), Conn::Then).jump("again");
    });
    sim.store(image);
    sim.controller.receive("\t\t\r");
    std::string all;
    for (int i = 0; i < 400 && sim.programState() == State::Running; ++i) {
        sim.wait(10);
        EXPECT_LE(sim.controller.pendingOutput(), sim::RunningState::kOutputRoom + 64);
        all += sim.take();
    }
    ASSERT_EQ(sim.programState(), State::Ended);
    std::string expected;
    for (int n = 1; n <= 3000; ++n)
        expected += std::to_string(n) + "\r\n";
    EXPECT_EQ(all.substr(all.find("started\r\n") + 9), expected);
}

TEST(ProgramRun, DumpReportsTheRobotAndTheProgram)
{
    ProgramRun sim;
    ASSERT_TRUE(sim.control("sensor 100 0x1a 75"));
    auto image = program([](Builder& b) {
        b.line().load(var("a"), num(3));
        b.line().load(var("b"), num(-4 + 65536));
        b.line().load(kz7(AuxLed), num(1));
        b.line().load(Operand::device("J2", 2, GoalPosition), num(640));
        b.line().load(Operand::device("Sensor", 100, BuzzerIndex), Operand::device("Sensor", 100, LeftIr));
    });
    sim.run(image, 50);
    std::string reply;
    ASSERT_TRUE(sim.controller.control("dump", nullptr, &reply));
    EXPECT_EQ(reply.rfind("mode=running program=ended ", 0), 0u) << reply;
    EXPECT_NE(reply.find(" aux=1 "), std::string::npos) << reply;
    EXPECT_NE(reply.find(" vars=3,-4 "), std::string::npos) << reply;
    EXPECT_NE(reply.find("joints=1:512,2:640,3:512"), std::string::npos) << reply;
    EXPECT_EQ(sim.state().deviceRegister(100, 0x28), 75);
}
