// The tessaban controller commands against kz7sim: the port from the programmer's settings,
// the programmer's messages and exit statuses, and every maintenance job run from a script.

#include "link/SimBench.h"
#include "platform/PortMap.h"
#include "support/HeldLine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using linktest::CommandResult;
using linktest::SimBench;
using linktest::SimOptions;

namespace {

constexpr size_t kMotionSize = 0x10000;

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Presses START each time the command asks for it, as the user would; `fault`, when given, is
// injected just before the first press.
std::function<void(const std::string&)> pressStartWhenAsked(SimBench& sim, const std::string& fault = {})
{
    auto pressed = std::make_shared<size_t>(0);
    return [&sim, pressed, fault](const std::string& out) {
        while (*pressed < countOf(out, "Press START on the KZ-7")) {
            if (*pressed == 0 && !fault.empty())
                sim.control(fault);
            ++*pressed;
            sim.control("press START");
        }
    };
}

} // namespace

using linktest::motionOf;
using linktest::pattern;

TEST(CliController, UsesThePortSavedByTheProgrammer)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    CommandResult none = sim.tessaban({"controller", "probe"});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(has(none.err, "--port")) << none.err;

    sim.savePortSetting(7);
    const auto settings = linktest::readFile(sim.path("config/Quorvel/Tessaban.conf"));
    CommandResult probe = sim.tessaban({"controller", "probe"});
    ASSERT_EQ(probe.status, 0) << probe.err;
    EXPECT_TRUE(has(probe.out, "Port: COM7 (" + sim.device() + "), saved by Taskloom\n")) << probe.out;
    EXPECT_TRUE(has(probe.out, "Mode: MENU\nMenu entry: 0\n")) << probe.out;
    EXPECT_TRUE(has(probe.out, "Firmware version: KZ-7 firmware")) << probe.out;
    EXPECT_TRUE(has(probe.out, "Boot-loader version: KZ-7 boot loader 2.04")) << probe.out;

    CommandResult wrong = sim.tessaban({"controller", "probe", "--port", "COM9"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_TRUE(has(wrong.err, "Cannot connect KZ-7 !\nPlease check the condition of connection."))
        << wrong.err;
    // A connect through another port tells that port and leaves the saved one as it was.
    CommandResult other = sim.tessaban({"controller", "mode", "--port", sim.device(), "MENU"});
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_TRUE(has(other.out, "Port: " + sim.device() + "\n")) << other.out;
    EXPECT_EQ(linktest::readFile(sim.path("config/Quorvel/Tessaban.conf")), settings);
}

TEST(CliPorts, ListsWhatStandsBehindEachPortAndDisturbsNone)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    testsupport::HeldLine held;
    ASSERT_TRUE(held.ok());
    ASSERT_TRUE(platform::linkPort(4, held.slavePath()));
    ASSERT_TRUE(platform::linkPort(5, "/nonexistent/tty"));
    CommandResult ports = sim.tessaban({"ports"});
    ASSERT_EQ(ports.status, 0) << ports.err;
    EXPECT_TRUE(has(ports.out, "COM4    " + held.slavePath() + "  linked  present\n")) << ports.out;
    EXPECT_TRUE(has(ports.out, "COM5    /nonexistent/tty  linked  missing\n")) << ports.out;
    EXPECT_TRUE(has(ports.out, "COM7    " + sim.device() + "  linked  present  KZ-7 Simulator\n"))
        << ports.out;
    EXPECT_EQ(held.untouched(), "");
}

TEST(CliController, LeavesTheControllerInTheModeAskedFor)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    CommandResult boot = sim.tessaban({"controller", "mode", "--port", "COM7", "bootloader"});
    ASSERT_EQ(boot.status, 0) << boot.err;
    CommandResult told = sim.tessaban({"controller", "probe", "--port", "COM7", "--mode-only"});
    EXPECT_TRUE(has(told.out, "Mode: BOOTLOADER")) << told.out;
    ASSERT_EQ(sim.tessaban({"controller", "mode", "--port", "COM7", "RUNNING"}).status, 0);
    // A playing program is silent, as is a controller switched off: the probe says it heard
    // nothing rather than claim a mode.
    sim.control("silent");
    told = sim.tessaban({"controller", "probe", "--port", "COM7", "--mode-only"});
    EXPECT_EQ(told.status, 1);
    EXPECT_TRUE(has(told.out, "Mode: no answer: the controller is running a program, switched off or not "
                              "connected\n"))
        << told.out;
    sim.control("power on");
    ASSERT_EQ(sim.tessaban({"controller", "mode", "--port", "COM7", "MENU"}).status, 0);
    EXPECT_EQ(sim.tessaban({"controller", "mode", "--port", "COM7", "SIDEWAYS"}).status, 2);
}

TEST(CliMotion, RestoreThenBackupGivesTheSameFile)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    auto fresh = pattern(kMotionSize, 5);
    linktest::writeFile(sim.path("fresh.mtn"), fresh);
    CommandResult restore = sim.tessaban({"motion", "restore", "--port", "COM7", sim.path("fresh.mtn")});
    ASSERT_EQ(restore.status, 0) << restore.err;
    EXPECT_EQ(restore.out, "Port: COM7 (" + sim.device() + ")\nSucceed to write Motion data!\n");
    EXPECT_EQ(motionOf(sim.memory()), fresh);

    CommandResult backup = sim.tessaban({"motion", "backup", "--port", "COM7", sim.path("back.mtn")}, 120,
                                        pressStartWhenAsked(sim));
    ASSERT_EQ(backup.status, 0) << backup.err;
    EXPECT_EQ(backup.out,
              "Port: COM7 (" + sim.device() +
                  ")\n"
                  "Press START on the KZ-7 now: it sends its motion memory when START is pressed.\n"
                  "Press START on the KZ-7 again now: the motion memory is read a second time to "
                  "check the first read.\n"
                  "Succeed to read Motion Data of robot!\nPlease press \"MODE\" button of KZ-7.\n");
    EXPECT_EQ(linktest::readFile(sim.path("back.mtn")), fresh);
}

TEST(CliMotion, AGarbledReadWritesNoBackupUnlessReadOnceIsAskedFor)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    CommandResult garbled = sim.tessaban({"motion", "backup", "--port", "COM7", sim.path("bad.mtn")}, 120,
                                         pressStartWhenAsked(sim, "garble 50"));
    EXPECT_EQ(garbled.status, 1);
    EXPECT_EQ(garbled.err, "tessaban: the two reads of the motion memory differ (bytes were garbled on the "
                           "line); " +
                               sim.path("bad.mtn") +
                               " was not written\n"
                               "Failed to read Motion data of Robot!\n");
    EXPECT_FALSE(linktest::fileExists(sim.path("bad.mtn")));
    EXPECT_TRUE(linktest::noTemporaryFiles(sim.folder()));

    ASSERT_EQ(sim.tessaban({"controller", "mode", "--port", "COM7", "MENU"}).status, 0);
    CommandResult once =
        sim.tessaban({"motion", "backup", "--port", "COM7", "--no-verify", sim.path("once.mtn")}, 120,
                     pressStartWhenAsked(sim));
    ASSERT_EQ(once.status, 0) << once.err;
    EXPECT_EQ(countOf(once.out, "Press START"), 1u) << once.out;
    std::vector<uint8_t> expected = motionOf(sim.memory());
    if (expected.empty())
        expected.assign(kMotionSize, 0xFF); // an untouched controller's memory is erased
    EXPECT_EQ(linktest::readFile(sim.path("once.mtn")), expected) << "read once, and no garble this time";
}

TEST(CliMotion, RefusesAFileOfTheWrongSizeWithoutTouchingTheController)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    auto before = sim.memory();
    linktest::writeFile(sim.path("short.mtn"), pattern(kMotionSize - 1, 1));
    CommandResult r = sim.tessaban({"motion", "restore", "--port", "COM7", sim.path("short.mtn")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "tessaban: " + sim.path("short.mtn") +
                         ": a motion file holds exactly 65536 bytes\nThis file is not a Motion Data!\n");
    EXPECT_EQ(sim.memory(), before);
    CommandResult missing = sim.tessaban({"motion", "restore", "--port", "COM7", sim.path("none.mtn")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_TRUE(has(missing.err, "none.mtn")) << missing.err;
}

TEST(CliProgram, DownloadsAnExampleAndPlaysItUntilStopped)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    std::string example = std::string(TESSABAN_SOURCE_DIR) + "/data/examples/start_end.tpg";
    CommandResult down = sim.tessaban({"program", "download", "--port", "COM7", example});
    ASSERT_EQ(down.status, 0) << down.err;
    EXPECT_TRUE(has(down.out, "Downloaded ")) << down.out;
    // What went to a000 is exactly what the builder makes of the file, without its sum.
    CommandResult built = sim.tessaban({"program", "build", example, "-o", sim.path("image.bin")});
    ASSERT_EQ(built.status, 0) << built.err;
    auto image = linktest::readFile(sim.path("image.bin"));
    ASSERT_GT(image.size(), 1u);
    auto memory = sim.memory();
    ASSERT_GE(memory.size(), 0xA000 + image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end() - 1, memory.begin() + 0xA000));

    CommandResult play = sim.tessaban({"program", "play", "--port", "COM7", "--seconds", "1.5"});
    ASSERT_EQ(play.status, 0) << play.err;
    EXPECT_TRUE(has(play.out, "Running: behaviour program of")) << play.out;
    EXPECT_TRUE(has(play.out, "\nStopped after 1.5 seconds; the controller is back in its menu.\n"))
        << play.out;
    // Stopped and back in the menu.
    CommandResult told = sim.tessaban({"controller", "probe", "--port", "COM7", "--mode-only"});
    EXPECT_TRUE(has(told.out, "Mode: MENU")) << told.out;
}

// A real cable carries the stop burst for over a second after the port has taken it; the
// controller must be asked where it is only once it has seen the burst.
TEST(CliProgram, PlayStopsOnALinePacedAsACable)
{
    SimOptions paced;
    paced.pace = 57600;
    SimBench sim(paced);
    ASSERT_TRUE(sim.ok());
    std::string example = std::string(TESSABAN_SOURCE_DIR) + "/data/examples/start_end.tpg";
    ASSERT_EQ(sim.tessaban({"program", "download", "--port", "COM7", example}).status, 0);
    CommandResult play = sim.tessaban({"program", "play", "--port", "COM7", "--seconds", "1"});
    EXPECT_EQ(play.status, 0) << play.err;
    EXPECT_TRUE(has(play.out, "\nStopped after 1 second; the controller is back in its menu.\n")) << play.out;
}

TEST(CliProgram, PlayStopsOnCtrlCAndReturnsTheControllerToItsMenu)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    bool interrupted = false;
    CommandResult play = sim.tessaban({"program", "play", "--port", "COM7"}, 60, [&](const std::string& out) {
        if (!interrupted && has(out, "Running:")) {
            interrupted = true;
            ::kill(sim.runningCommand(), SIGINT);
        }
    });
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(play.status, 130) << play.err;
    EXPECT_TRUE(has(play.out, "\nStopped by Ctrl-C; the controller is back in its menu.\n")) << play.out;
    CommandResult told = sim.tessaban({"controller", "probe", "--port", "COM7", "--mode-only"});
    EXPECT_TRUE(has(told.out, "Mode: MENU")) << told.out;
}

TEST(CliFirmware, UpdatesAndPrintsTheNewVersion)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    auto firmware = pattern(4000, 3);
    linktest::writeHex(sim.path("fw.hex"), firmware);
    CommandResult r = sim.tessaban({"firmware", "update", "--port", "COM7", "--verify", sim.path("fw.hex")},
                                   120, pressStartWhenAsked(sim));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "it sends the new firmware back to be checked")) << r.out;
    auto first = r.out.find("Firmware version: ");
    auto second = r.out.find("Firmware version: ", first + 1);
    ASSERT_NE(second, std::string::npos) << r.out;
    std::string before = r.out.substr(first, r.out.find('\n', first) - first);
    std::string after = r.out.substr(second, r.out.find('\n', second) - second);
    EXPECT_NE(before, after);
    EXPECT_TRUE(has(r.out, "Succeed to update KZ-7!\n")) << r.out;
    auto memory = sim.memory();
    ASSERT_GE(memory.size(), firmware.size());
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), memory.begin()));

    // Without the check nobody needs to press START, and the output says it was not checked.
    auto replacement = pattern(3000, 4);
    linktest::writeHex(sim.path("fw2.hex"), replacement);
    for (const char* flag : {"--no-verify", ""}) {
        SCOPED_TRACE(flag);
        std::vector<std::string> args = {"firmware", "update", "--port", "COM7", sim.path("fw2.hex")};
        if (*flag)
            args.insert(args.begin() + 4, flag);
        CommandResult unchecked = sim.tessaban(args);
        ASSERT_EQ(unchecked.status, 0) << unchecked.err;
        EXPECT_FALSE(has(unchecked.out, "the new firmware back")) << unchecked.out;
        EXPECT_TRUE(has(unchecked.out,
                        "Succeed to update KZ-7!\nThe new firmware was not read back, so it is "
                        "not checked.\n"))
            << unchecked.out;
        memory = sim.memory();
        EXPECT_TRUE(std::equal(replacement.begin(), replacement.end(), memory.begin()));
    }
    // A copy cut short (no end record) is refused and nothing is sent.
    const std::string whole = linktest::intelHex(pattern(4096, 6));
    const std::string cut = whole.substr(0, 100 * 44);
    linktest::writeFile(sim.path("cut.hex"), std::vector<uint8_t>(cut.begin(), cut.end()));
    const auto beforeCut = sim.memory();
    CommandResult refusedCut = sim.tessaban({"firmware", "update", "--port", "COM7", sim.path("cut.hex")});
    EXPECT_EQ(refusedCut.status, 3);
    EXPECT_TRUE(has(refusedCut.err, sim.path("cut.hex") + ": the file stops before its end record"))
        << refusedCut.err;
    EXPECT_EQ(sim.memory(), beforeCut);

    linktest::writeFile(sim.path("bad.hex"), {'x', '\n'});
    CommandResult bad = sim.tessaban({"firmware", "update", "--port", "COM7", sim.path("bad.hex")});
    EXPECT_EQ(bad.status, 3);
    EXPECT_TRUE(has(bad.err, sim.path("bad.hex") + ": line 1: the record does not begin with ':'\n"
                                                   "It is not proper Tessaban program file."))
        << bad.err;
}

TEST(CliFirmware, RecoversAControllerSwitchedOnWhileWaiting)
{
    SimOptions options;
    options.poweredOn = false;
    options.blankFirmware = true;
    SimBench sim(options);
    ASSERT_TRUE(sim.ok());
    auto firmware = pattern(2500, 8);
    linktest::writeHex(sim.path("fw.hex"), firmware);
    bool switched = false;
    auto pressStart = pressStartWhenAsked(sim);
    CommandResult r =
        sim.tessaban({"firmware", "recover", "--port", "COM7", "--wait", "20", sim.path("fw.hex")}, 120,
                     [&](const std::string& out) {
                         if (!switched && has(out, "Waiting for a response of KZ-7.")) {
                             switched = true;
                             sim.control("power on");
                         }
                         pressStart(out);
                     });
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "It is successful running KZ-7 bootloader.")) << r.out;
    EXPECT_TRUE(has(r.out, "Congratulations!\n\nIt is successful recoverying KZ-7.\n")) << r.out;

    SimOptions off;
    off.poweredOn = false;
    off.com = 8;
    SimBench dark(off);
    ASSERT_TRUE(dark.ok());
    linktest::writeHex(dark.path("fw.hex"), firmware);
    CommandResult missed =
        dark.tessaban({"firmware", "recover", "--port", "COM8", "--wait", "1", dark.path("fw.hex")});
    EXPECT_EQ(missed.status, 1);
    EXPECT_TRUE(has(missed.err, "It is failed to run KZ-7 bootloader.\nPlease, retry.")) << missed.err;
}

TEST(CliServo, ShowsTheReportAndSucceeds)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    auto image = pattern(900, 4);
    linktest::writeFile(sim.path("vq.rom"), linktest::romContainer(linktest::intelHex(image), 2));
    CommandResult r = sim.tessaban({"servo", "update", "--port", "COM7", sim.path("vq.rom")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "[update]")) << r.out;
    EXPECT_FALSE(has(r.out, "<")) << "the report is shown up to its end mark";
    EXPECT_TRUE(has(r.out, "Completed updating VQ program\n")) << r.out;
    auto memory = sim.memory();
    ASSERT_GE(memory.size(), 0xC000 + image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin() + 0xC000));

    linktest::writeFile(sim.path("bad.rom"), {1, 0, 48, 0, 5, 0, 112, 0, 9, 0, 3, 0, 1, 0});
    CommandResult bad = sim.tessaban({"servo", "update", "--port", "COM7", sim.path("bad.rom")});
    EXPECT_EQ(bad.status, 3);
    EXPECT_TRUE(has(bad.err, "This is not a proper program of VQ!")) << bad.err;
}

// Every file is read and checked before the port is opened: with no controller at all, a bad
// file is still refused for what it is, naming the file and the reason, with status 3.
TEST(CliFiles, AreRefusedForWhatTheyAreBeforeAnyPortIsOpened)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    const std::string overLong = ":020000021000EC\n" + linktest::intelHex(pattern(32, 1));
    linktest::writeFile(sim.path("high.hex"), std::vector<uint8_t>(overLong.begin(), overLong.end()));
    linktest::writeFile(sim.path("big.rom"),
                        linktest::romContainer(linktest::intelHex(pattern(0x4000, 2)), 2));
    linktest::writeFile(sim.path("short.mtn"), pattern(kMotionSize - 1, 1));
    struct Case {
        std::vector<std::string> args;
        std::string err; // the start of standard error
    };
    const std::string missingRom = sim.path("rom.rom");
    const Case cases[] = {
        {{"firmware", "update", sim.path("high.hex")},
         "tessaban: " + sim.path("high.hex") +
             ": the data reaches 65568 bytes from the image's start; the "
             "firmware area 0x0000-0x9FFF holds 40960 bytes\nIt is not proper Tessaban program file.\n"},
        {{"firmware", "recover", sim.path("high.hex")}, "tessaban: " + sim.path("high.hex") + ": the data"},
        {{"servo", "update", sim.path("big.rom")},
         "tessaban: " + sim.path("big.rom") + ": the data reaches 16384 bytes"},
        {{"servo", "update", missingRom},
         "tessaban: cannot open " + missingRom +
             ": No such file or directory\nThis is not a proper program of VQ!\n"},
        {{"motion", "restore", sim.path("short.mtn")},
         "tessaban: " + sim.path("short.mtn") +
             ": a motion file holds exactly 65536 bytes\n"
             "This file is not a Motion Data!\n"},
        {{"motion", "backup", sim.path("no/such/folder/m.mtn")},
         "tessaban: " + sim.path("no/such/folder/m.mtn")},
        {{"motion", "backup", "/dev/null"}, "tessaban: /dev/null: cannot be replaced: not a regular file"},
    };
    const auto before = sim.memory();
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 2, {"--port", "COM9"}); // nothing behind COM9
        CommandResult r = sim.tessaban(args);
        SCOPED_TRACE(args[0] + " " + args[1]);
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        EXPECT_FALSE(has(r.err, "Cannot connect")) << r.err;
    }
    EXPECT_EQ(sim.memory(), before);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(CliProgram, PlayNoticesAControllerThatGoesAway)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    bool gone = false;
    CommandResult play = sim.tessaban({"program", "play", "--port", "COM7"}, 60, [&](const std::string& out) {
        if (!gone && has(out, "Running:")) {
            gone = true;
            sim.control("vanish 0");
        }
    });
    EXPECT_TRUE(gone);
    EXPECT_EQ(play.status, 1) << play.out;
    EXPECT_TRUE(has(play.err, "the controller stopped answering")) << play.err;
    EXPECT_TRUE(has(play.err, "Cannot connect KZ-7 !")) << play.err;
}

TEST(CliPorts, HelpNamesThePortFolderVariable)
{
    SimBench sim;
    ASSERT_TRUE(sim.ok());
    CommandResult help = sim.tessaban({"ports", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(has(help.out, "$TESSABAN_PORTS")) << help.out;
    EXPECT_TRUE(has(help.out, "now: " + sim.folder() + "/ports\n")) << help.out;
}
