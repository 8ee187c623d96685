// Every shipped example program runs on the simulator with the effect its documentation gives.

#include "ProgramRun.h"

#include "behaviour/ExamplePrograms.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using simtest::ProgramRun;
using State = sim::Interpreter::State;

namespace {

std::vector<uint8_t> exampleImage(const std::string& fileName)
{
    for (const auto& e : examples::all()) {
        if (e.fileName != fileName)
            continue;
        behaviour::BehaviorProgram program;
        if (!e.build(program))
            return {};
        behaviour::BuildResult built = behaviour::buildProgram(program);
        return built.ok ? built.bytes : std::vector<uint8_t>{};
    }
    return {};
}

struct Scenario {
    std::string example;
    std::vector<std::string> controls; // before the program starts
    int64_t ms;
    std::function<void(ProgramRun&, const std::string& printed)> check;
};

} // namespace

TEST(ExampleRun, EveryExampleHasItsDocumentedEffect)
{
    auto aux = [](int expected) {
        return [expected](ProgramRun& sim, const std::string&) { EXPECT_EQ(sim.state().auxLed(), expected); };
    };
    auto page = [](int expected) {
        return [expected](ProgramRun& sim, const std::string&) {
            EXPECT_EQ(sim.state().motionPage(), expected);
            EXPECT_EQ(sim.programState(), State::Running) << "it loops for ever";
        };
    };
    auto joint1 = [](int expected, int led) {
        return [expected, led](ProgramRun& sim, const std::string&) {
            EXPECT_EQ(sim.controller.editor().currentValue(1), expected);
            EXPECT_EQ(sim.state().auxLed(), led);
        };
    };
    const Scenario scenarios[] = {
        {"worked_example.tpg", {"sensor 100 0x1a 75"}, 100, aux(1)},
        {"worked_example.tpg", {"sensor 100 0x1a 20"}, 100, aux(0)},
        {"worked_example.tpg", {"sensor 100 0x1a 50"}, 100, aux(0)},
        {"start_end.tpg",
         {},
         100,
         [](ProgramRun& sim, const std::string& printed) {
             EXPECT_EQ(printed, "");
             EXPECT_EQ(sim.programState(), State::Ended);
         }},
        {"obstacle_avoid.tpg", {"sensor 100 0x1b 120"}, 100, page(3)},
        {"obstacle_avoid.tpg", {"sensor 100 0x1a 90"}, 100, page(4)},
        {"obstacle_avoid.tpg", {"sensor 100 0x1c 80"}, 100, page(5)},
        {"obstacle_avoid.tpg", {"sensor 100 0x1b 100", "sensor 100 0x1c 79"}, 100, page(1)},
        // Held Up+Left counts to 10 at once; Down ends the wait.
        {"button_counter.tpg",
         {"press up", "press left"},
         100,
         [](ProgramRun& sim, const std::string& printed) {
             EXPECT_EQ(printed, "");
             EXPECT_EQ(sim.state().deviceRegister(100, 0x28), 10) << "buzzer index";
             EXPECT_EQ(sim.state().deviceRegister(100, 0x29), 3) << "buzzer time";
             sim.control("release up");
             sim.control("release left");
             sim.control("press down");
             EXPECT_EQ(sim.send("", 50), "10\r\n");
             EXPECT_EQ(sim.state().auxLed(), 1);
             EXPECT_EQ(sim.programState(), State::Ended);
         }},
        // Untouched, the 12 s timer runs out.
        {"button_counter.tpg",
         {},
         11900,
         [](ProgramRun& sim, const std::string& printed) {
             EXPECT_EQ(printed, "");
             EXPECT_EQ(sim.send("", 200), "0\r\n");
             EXPECT_EQ(sim.state().auxLed(), 1);
         }},
        {"wheel_control.tpg",
         {"sensor 100 0x1d 30"},
         100,
         [](ProgramRun& sim, const std::string&) {
             EXPECT_EQ(sim.state().deviceRegister(1, 0x20), 310) << "left wheel: 330 - 20";
             EXPECT_EQ(sim.state().deviceRegister(2, 0x00), 350) << "ID 2, address from speedReg (0)";
             EXPECT_EQ(sim.controller.editor().currentValue(2), 700) << "right wheel was at 512";
             EXPECT_EQ(sim.programState(), State::Running);
         }},
        {"counter_printer.tpg",
         {},
         500,
         [](ProgramRun& sim, const std::string& printed) {
             EXPECT_EQ(printed, "1\r\n2\r\n3\r\n") << "one number every 0.2 s";
             EXPECT_EQ(sim.send("", 2000), "4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n");
             EXPECT_EQ(sim.programState(), State::Ended);
         }},
        {"button_sensor.tpg", {"sensor 100 0x1b 150"}, 50, joint1(800, 0)},
        {"button_sensor.tpg",
         {"sensor 100 0x1b 100", "press up"},
         50,
         [&](ProgramRun& sim, const std::string& printed) {
             joint1(200, 1)(sim, printed);
             sim.control("release up");
             sim.control("press down");
             sim.control("sensor 100 0x1b 101");
             sim.send("", 50);
             joint1(800, 0)(sim, printed);
         }},
    };
    std::set<std::string> covered;
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.example);
        std::vector<uint8_t> image = exampleImage(s.example);
        ASSERT_FALSE(image.empty());
        ProgramRun sim;
        for (const std::string& c : s.controls)
            ASSERT_TRUE(sim.control(c)) << c;
        std::string printed = sim.run(image, s.ms);
        EXPECT_EQ(printed.find("Program error"), std::string::npos) << printed;
        s.check(sim, printed);
        covered.insert(s.example);
    }
    for (const auto& e : examples::all())
        EXPECT_TRUE(covered.count(e.fileName)) << e.fileName << " has no scenario";
}
