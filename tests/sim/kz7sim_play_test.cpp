// End to end: the command line downloads an example and plays it on kz7sim; what the program
// prints reaches the console, and a joint the program moves is where the motion editor shows it.

#include "link/SimBench.h"

#include <cctype>
#include <string>

#include <gtest/gtest.h>

using linktest::CommandResult;
using linktest::SimBench;

namespace {

std::string example(const std::string& name)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/data/examples/" + name;
}

bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The "Current" column of joint 1 in the page the motion command prints: the first line that
// starts "1", then blanks, then a word followed by a blank. Plain scanning rather than <regex>,
// whose inlined internals trip GCC 12's maybe-uninitialized warning in sanitizer builds.
std::string joint1(const std::string& page)
{
    for (std::size_t at = page.find("\n1 "); at != std::string::npos; at = page.find("\n1 ", at + 1)) {
        std::size_t begin = at + 2;
        while (begin < page.size() && page[begin] == ' ')
            ++begin;
        std::size_t end = begin;
        while (end < page.size() && !isSpace(page[end]))
            ++end;
        if (end > begin && end < page.size() && page[end] == ' ')
            return page.substr(begin, end - begin);
    }
    return "(no row)";
}

// The lines that hold only a number (an optional carriage return before the line feed), each
// followed by a blank, in order.
std::string numberLines(const std::string& out)
{
    std::string numbers;
    for (std::size_t at = out.find('\n'); at != std::string::npos; at = out.find('\n', at + 1)) {
        std::size_t end = at + 1;
        while (end < out.size() && std::isdigit(static_cast<unsigned char>(out[end])))
            ++end;
        std::size_t next = end < out.size() && out[end] == '\r' ? end + 1 : end;
        if (end > at + 1 && next < out.size() && out[next] == '\n')
            numbers += out.substr(at + 1, end - at - 1) + " ";
    }
    return numbers;
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
    std::string numbers = numberLines(play.out);
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
