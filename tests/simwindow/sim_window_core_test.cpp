// The simulator window's rules without widgets: which COMn it takes, where it keeps the memory,
// and what its status bar says about the controller.

#include "simwindow_core/SimPorts.h"
#include "simwindow_core/SimSnapshot.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using simwindow::SimSnapshot;

TEST(SimPorts, TakesTheGivenThenTheRememberedThenTheFirstFreeFromNine)
{
    testsupport::TempFolder folder("simports");
    ASSERT_TRUE(folder.ok());
    const std::string dir = folder.path().string();
    // COM9 stands for a live device, COM10 for one that went away, COM11 is a plain file.
    fs::create_symlink("/dev/null", dir + "/COM9");
    fs::create_symlink(dir + "/gone", dir + "/COM10");
    folder.write("COM11", "x");
    folder.write("COM9.label", "KZ-7 Simulator\n");

    EXPECT_FALSE(simwindow::comPortFree(dir, 9));
    EXPECT_TRUE(simwindow::comPortFree(dir, 10));
    EXPECT_FALSE(simwindow::comPortFree(dir, 11));
    EXPECT_TRUE(simwindow::comPortFree(dir, 12));

    struct Case {
        int given, remembered, expected;
    } cases[] = {
        {0, 0, 10},   // first free from 9: COM9 is taken, COM10's device is gone
        {3, 0, 3},    // given wins
        {9, 12, 9},   // given wins even over a live link: the user asked for it
        {0, 12, 12},  // remembered and free
        {0, 9, 10},   // remembered but taken: the first free instead
        {0, 300, 10}, // a remembered number out of range is ignored
    };
    for (const Case& c : cases)
        EXPECT_EQ(simwindow::chooseComPort(dir, c.given, c.remembered), c.expected)
            << "given " << c.given << " remembered " << c.remembered;

    for (int n = 9; n <= 256; ++n)
        if (n != 10 && n != 12)
            folder.write("COM" + std::to_string(n), "");
    fs::remove(dir + "/COM10");
    folder.write("COM10", "");
    fs::remove(dir + "/COM12");
    folder.write("COM12", "");
    EXPECT_EQ(simwindow::chooseComPort(dir, 0, 0), 0); // all taken
}

TEST(SimPorts, KeepsTheMemoryInTheDataHome)
{
    EXPECT_EQ(simwindow::defaultMemoryFile("/data", "/home/u"), "/data/Quorvel/Tessaban/kz7sim.mem");
    EXPECT_EQ(simwindow::defaultMemoryFile(nullptr, "/home/u"),
              "/home/u/.local/share/Quorvel/Tessaban/kz7sim.mem");
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    EXPECT_EQ(simwindow::defaultMemoryFile("rel", "/home/u"),
              "/home/u/.local/share/Quorvel/Tessaban/kz7sim.mem");
}

namespace {

struct Rig {
    sim::ControllerMemory memory;
    sim::Controller controller{memory, sim::JointTable::standard()};
    int64_t now = 0;
    Rig() { controller.start(0, true); }
    void control(const std::string& line) { ASSERT_TRUE(controller.control(line)) << line; }
    void type(const std::string& bytes)
    {
        controller.receive(bytes);
        controller.takeOutput();
    }
    void wait(int64_t ms)
    {
        for (int64_t end = now + ms; now < end; now += 10)
            controller.advance(now);
    }
    SimSnapshot look() const { return SimSnapshot::of(controller); }
};

} // namespace

TEST(SimSnapshot, TellsTheModeFromTheControllersOwnState)
{
    Rig rig;
    EXPECT_EQ(rig.look().modeText(), "Menu: Console highlighted");
    rig.control("press MODE");
    EXPECT_EQ(rig.look().modeText(), "Menu: Motion editor highlighted");
    rig.control("press START");
    EXPECT_EQ(rig.look().modeText(), "Motion editor: page 1");
    EXPECT_EQ(rig.look().joints[1], 512);
    EXPECT_EQ(rig.look().joints[19], SimSnapshot::kAbsent);

    // Torque off shows the joint limp; a joint moved in the editor shows its new place.
    EXPECT_FALSE(rig.look().limp(3));
    rig.type("off 3\r");
    rig.type("goto 0 1\rset 700\r");
    const SimSnapshot edited = rig.look();
    EXPECT_TRUE(edited.limp(3));
    EXPECT_FALSE(edited.limp(19)); // absent joints are never limp
    EXPECT_EQ(edited.joints[1], 700);

    rig.control("press MODE"); // back to the menu
    rig.control("press MODE");
    EXPECT_EQ(rig.look().modeText(), "Menu: Running highlighted");
    rig.control("press START");
    EXPECT_EQ(rig.look().modeText(), "Running: no behaviour program");

    rig.control("power off");
    const SimSnapshot off = rig.look();
    EXPECT_FALSE(off.powered());
    EXPECT_EQ(off.modeText(), "Power off");
    EXPECT_NE(off, edited);
}

TEST(SimSnapshot, TellsTheLineAndWhatTheFaultsDoToIt)
{
    Rig rig;
    EXPECT_EQ(rig.look().lineText(9, 57600), "COM9, 57600 baud");
    EXPECT_EQ(rig.look().lineText(12, 0), "COM12, fast line");
    rig.control("stall 1000");
    EXPECT_EQ(rig.look().lineText(9, 0), "COM9, fast line, stalled");
    rig.wait(1010);
    rig.control("silent");
    EXPECT_EQ(rig.look().lineText(9, 0), "COM9, fast line, silent");
    rig.control("vanish 0");
    EXPECT_EQ(rig.look().lineText(9, 0), "COM9, fast line, device gone");
}
