// End to end: the command line downloads an example and plays it on kz7sim; what the program
// prints reaches the console, and a joint the program moves is where the motion editor shows it.

#include "link/SimBench.h"

#include <string>

#include <gtest/gtest.h>

#include <regex>

using linktest::CommandResult;
using linktest::SimBench;

namespace {

std::string example(const std::string& name)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/data/examples/" + name;
}

// The "Current" column of joint 1 in the page the motion command prints.
std::string joint1(const std::string& page)
{
    std::smatch m;
    return std::regex_search(page, m, std::regex("\\n1 +(\\S+) ")) ? m[1].str() : "(no row)";
}

} // namespace

TEST(Kz7SimPlay, ShowsWhatTheProgramPrints)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    CommandResult down =
        sim.tessaban({"program", "download", "--port", "COM7", example("counter_printer.tpg")});
    ASSERT_EQ(down.status, 0) << down.err;
    CommandResult play = sim.tessaban({"program", "play", "--port", "COM7", "--seconds", "3"});
    ASSERT_EQ(play.status, 0) << play.err;
    // One number a line, in order, after the start line.
    std::string numbers;
    std::regex line("\\n(\\d+)\\r?(?=\\n)");
    for (auto it = std::sregex_iterator(play.out.begin(), play.out.end(), line); it != std::sregex_iterator();
         ++it)
        numbers += (*it)[1].str() + " ";
    EXPECT_EQ(numbers, "1 2 3 4 5 6 7 8 9 10 ") << play.out;
    EXPECT_NE(play.out.find("Running: behaviour program of 60 bytes started"), std::string::npos) << play.out;
}

TEST(Kz7SimPlay, AJointTheProgramMovesShowsInTheMotionEditor)
{
    linktest::SimOptions options;
    options.more = {"--sensors", "100"};
    SimBench sim(options);
    ASSERT_TRUE(sim.ok());
    CommandResult before = sim.tessaban({"motion", "page", "--port", "COM7"});
    ASSERT_EQ(before.status, 0) << before.err;
    ASSERT_EQ(joint1(before.out), "512") << before.out;

    ASSERT_EQ(sim.tessaban({"program", "download", "--port", "COM7", example("button_sensor.tpg")}).status,
              0);
    sim.control("sensor 100 0x1b 150"); // something close: joint 1 turns to 800
    CommandResult play = sim.tessaban({"program", "play", "--port", "COM7", "--seconds", "1"});
    ASSERT_EQ(play.status, 0) << play.err;
    CommandResult after = sim.tessaban({"motion", "page", "--port", "COM7"});
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(joint1(after.out), "800") << after.out;
}
