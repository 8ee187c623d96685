// kz7sim's command line: accepted forms and refusals.

#include "sim/SimOptions.h"

#include <gtest/gtest.h>

using sim::ParsedOptions;
using sim::parseSimOptions;

TEST(SimOptions, ReadsBothFormsOfEachOption)
{
    ParsedOptions p =
        parseSimOptions({"--com", "7", "--pace=57600", "--power", "off", "--mode=bootloader", "--memory",
                         "m.bin", "--control=c.fifo", "--profile", "r.rbt", "--joints", "1-5", "--unknown=3",
                         "--sensors", "100", "--blank-firmware", "--exit-with-stdout"});
    ASSERT_EQ(p.outcome, ParsedOptions::Outcome::Run) << p.error;
    EXPECT_EQ(p.options.com, 7);
    EXPECT_EQ(p.options.pace, 57600);
    EXPECT_FALSE(p.options.powerOn);
    EXPECT_EQ(p.options.mode, sim::Mode::BootLoader);
    EXPECT_EQ(p.options.memoryFile, "m.bin");
    EXPECT_EQ(p.options.controlFifo, "c.fifo");
    EXPECT_EQ(p.options.profile, "r.rbt");
    EXPECT_EQ(p.options.joints, "1-5");
    EXPECT_EQ(p.options.unknown, "3");
    EXPECT_EQ(p.options.sensors, "100");
    EXPECT_TRUE(p.options.blankFirmware);
    EXPECT_TRUE(p.options.watchStdout);

    ParsedOptions defaults = parseSimOptions({});
    EXPECT_EQ(defaults.outcome, ParsedOptions::Outcome::Run);
    EXPECT_EQ(defaults.options.pace, 0);
    EXPECT_TRUE(defaults.options.powerOn);
    EXPECT_EQ(defaults.options.mode, sim::Mode::Menu);
    EXPECT_EQ(parseSimOptions({"--pace", "9600", "--help"}).outcome, ParsedOptions::Outcome::Help);
    EXPECT_EQ(parseSimOptions({"--com", "2", "--version"}).outcome, ParsedOptions::Outcome::Version);
}

TEST(SimOptions, RefusesWhatItCannotUse)
{
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--com", "0"}, "--com needs a port number 1..256"},
        {{"--com", "257"}, "--com needs a port number 1..256"},
        {{"--com"}, "--com needs a port number 1..256"},
        {{"--pace", "49"}, "--pace needs a baud rate 50..4000000"},
        {{"--pace=4000001"}, "--pace needs a baud rate 50..4000000"},
        {{"--pace", "96OO"}, "--pace needs a baud rate 50..4000000"},
        {{"--power", "maybe"}, "--power takes on or off"},
        {{"--mode", "dance"}, "--mode takes menu, console, screen, running or bootloader"},
        {{"--memory="}, "--memory needs a value"},
        {{"--sensors"}, "--sensors needs a value"},
        {{"--fast"}, "unknown option --fast"},
    };
    for (const Case& c : cases) {
        ParsedOptions p = parseSimOptions(c.args);
        EXPECT_EQ(p.outcome, ParsedOptions::Outcome::Error) << c.args[0];
        EXPECT_EQ(p.error, c.error) << c.args[0];
    }
}
