// The maintenance jobs end to end against kz7sim on a pty: motion backup and restore, firmware
// recovery from power off, and the failures that injected faults bring. Firmware and servo
// updates run end to end through the command line (cli_controller_test).

#include "SimBench.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using comm::ControllerLink;
using comm::ControllerMode;
using comm::Maintenance;
using comm::MaintenanceResult;
using comm::modeValue;
using linktest::SimBench;
using linktest::SimOptions;

namespace {

constexpr size_t kMotionSize = 0x10000;

// Presses START on the simulator when the job asks the user to, and keeps what it was shown.
struct TestHost : comm::MaintenanceHost {
    explicit TestHost(SimBench& sim) : sim(sim) {}
    void acknowledge(int message) override
    {
        acknowledged.push_back(message);
        if (!beforeStart.empty())
            sim.control(beforeStart);
        sim.control("press START");
    }
    void notice(int message) override { notices.push_back(message); }
    void consoleText(const uint8_t* bytes, size_t count) override
    {
        console.append(reinterpret_cast<const char*>(bytes), count);
    }
    SimBench& sim;
    std::string beforeStart; // a fault to inject just before START is pressed
    std::vector<int> acknowledged;
    std::vector<int> notices;
    std::string console;
};

// The simulator runs unpaced here, so there is no line to keep pace with.
comm::LinkTiming unpacedLine()
{
    comm::LinkTiming t;
    t.lineBaud = 0;
    return t;
}

// What nearly every test here sets up: the simulator, the host that presses its START, and a
// link with its maintenance jobs. connect() starts the link on the simulator's device.
struct SimJobs {
    explicit SimJobs(SimOptions options = {}) : sim(std::move(options)) {}
    ::testing::AssertionResult connect()
    {
        if (!sim.ok())
            return ::testing::AssertionFailure() << "kz7sim did not start";
        if (!link.connect(sim.device()))
            return ::testing::AssertionFailure() << "the link did not connect to " << sim.device();
        return ::testing::AssertionSuccess();
    }
    SimBench sim;
    TestHost host{sim};
    ControllerLink link{unpacedLine()};
    Maintenance jobs{link, host};
};

} // namespace

using linktest::motionOf;
using linktest::noTemporaryFiles;
using linktest::pattern;
using linktest::writeHex;

TEST(SimMaintenance, BackupRestoreBackupGivesTheSameFile)
{
    SimJobs bench;
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, link, jobs] = bench;

    MaintenanceResult first = jobs.backupMotion(sim.path("first.mtn"));
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.message, comm::kMsgMotionReadDone);
    EXPECT_EQ(host.acknowledged, std::vector<int>{comm::kMsgPressStart});
    EXPECT_EQ(link.mode(), modeValue(ControllerMode::BootLoader)) << "left for the MODE button";
    EXPECT_EQ(linktest::readFile(sim.path("first.mtn")).size(), kMotionSize);

    auto fresh = pattern(kMotionSize, 7);
    linktest::writeFile(sim.path("fresh.mtn"), fresh);
    MaintenanceResult restored = jobs.restoreMotion(sim.path("fresh.mtn"));
    ASSERT_TRUE(restored.ok);
    EXPECT_EQ(restored.message, comm::kMsgMotionWriteDone);
    EXPECT_EQ(link.mode(), modeValue(ControllerMode::Menu));
    EXPECT_EQ(motionOf(sim.memory()), fresh);

    MaintenanceResult second = jobs.backupMotion(sim.path("second.mtn"));
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(linktest::readFile(sim.path("second.mtn")), fresh);
    EXPECT_TRUE(noTemporaryFiles(sim.folder()));
}

TEST(SimMaintenance, RecoversAControllerWithoutFirmware)
{
    SimOptions options;
    options.poweredOn = false;
    options.blankFirmware = true;
    SimJobs bench(options);
    ASSERT_TRUE(bench.sim.ok());
    auto& [sim, host, link, jobs] = bench;
    auto firmware = pattern(2000, 5);
    writeHex(sim.path("fw.hex"), firmware);

    link.armBootLoaderWait();
    sim.controlLater("power on", 500);
    MaintenanceResult r = jobs.recoverFirmware(sim.device(), sim.path("fw.hex"), 10);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.message, comm::kMsgInstalled);
    EXPECT_EQ(host.notices,
              (std::vector<int>{comm::kMsgPowerOn, comm::kMsgBootLoaderCaught, comm::kMsgInstalling}));
    EXPECT_EQ(host.acknowledged, std::vector<int>{comm::kMsgPressStartToVerify});
    EXPECT_EQ(link.currentMode(), modeValue(ControllerMode::Menu)) << "the new firmware runs";
    auto memory = sim.memory();
    ASSERT_GE(memory.size(), firmware.size());
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), memory.begin()));
}

TEST(SimMaintenance, NewFirmwareIsReadBackAndADifferenceIsNoSuccess)
{
    SimJobs bench;
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, link, jobs] = bench;
    writeHex(sim.path("fw.hex"), pattern(1500, 7));
    struct Case {
        const char* fault;
        bool verify;
        bool ok;
        int message;
        size_t acknowledged;
    } cases[] = {
        {"", true, true, comm::kMsgFirmwareUpdated, 1},
        {"garble 3", true, false, comm::kMsgFirmwareMismatch, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        host.acknowledged.clear();
        host.beforeStart = c.fault;
        MaintenanceResult r = jobs.updateFirmware(sim.path("fw.hex"), c.verify);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(host.acknowledged.size(), c.acknowledged);
        EXPECT_EQ(link.currentMode(), modeValue(ControllerMode::Menu));
    }
}

TEST(SimMaintenance, RecoveryGivesUpOrIsCancelledWithoutSendingAnything)
{
    SimOptions options;
    options.poweredOn = false;
    SimJobs bench(options);
    ASSERT_TRUE(bench.sim.ok());
    auto& [sim, host, link, jobs] = bench;
    writeHex(sim.path("fw.hex"), pattern(500, 2));
    auto before = sim.memory();

    MaintenanceResult missed = jobs.recoverFirmware(sim.device(), sim.path("fw.hex"), 1);
    EXPECT_FALSE(missed.ok);
    EXPECT_EQ(missed.message, comm::kMsgBootLoaderMissed);
    link.closePort();

    link.armBootLoaderWait();
    std::thread cancel([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        link.cancelBootLoaderWait();
    });
    MaintenanceResult cancelled = jobs.recoverFirmware(sim.device(), sim.path("fw.hex"), 30);
    cancel.join();
    EXPECT_TRUE(cancelled.cancelled);
    link.closePort();

    // A file that does not load is refused before the port is even opened.
    linktest::writeFile(sim.path("broken.hex"), {':', '0', '0', 'Z', '\n'});
    MaintenanceResult refused = jobs.recoverFirmware(sim.device(), sim.path("broken.hex"), 1);
    EXPECT_EQ(refused.message, comm::kMsgNotFirmwareFile);
    EXPECT_FALSE(link.isPortOpen());
    EXPECT_EQ(sim.memory(), before);
}

TEST(SimFaults, AControllerVanishingDuringABackupWritesNoFile)
{
    SimJobs bench;
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, link, jobs] = bench;
    // An older backup must survive a failed one.
    auto older = pattern(kMotionSize, 1);
    linktest::writeFile(sim.path("keep.mtn"), older);
    sim.control("vanish 20000");
    MaintenanceResult r = jobs.backupMotion(sim.path("keep.mtn"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgMotionReadFailed);
    EXPECT_EQ(linktest::readFile(sim.path("keep.mtn")), older);
    EXPECT_FALSE(linktest::fileExists(sim.path("new.mtn")));
    EXPECT_TRUE(noTemporaryFiles(sim.folder()));
    link.disconnect();
    EXPECT_FALSE(link.isPortOpen());
}

TEST(SimFaults, AGarbledControllerIsGivenUpBeforeAnyTransfer)
{
    SimJobs bench;
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, link, jobs] = bench;
    linktest::writeFile(sim.path("m.mtn"), pattern(kMotionSize, 4));
    auto before = motionOf(sim.memory());

    sim.control("garble 100000");
    MaintenanceResult r = jobs.restoreMotion(sim.path("m.mtn"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgCannotDownload);
    EXPECT_TRUE(r.disconnected);
    EXPECT_FALSE(link.isPortOpen());
    EXPECT_EQ(motionOf(sim.memory()), before);

    // Once the line is clean again the controller answers from its menu.
    sim.control("garble 0");
    ASSERT_TRUE(link.connect(sim.device()));
    EXPECT_EQ(link.mode(), modeValue(ControllerMode::Menu));
}

TEST(SimFaults, AControllerVanishingAsTheImageStartsFailsTheRestore)
{
    SimJobs bench;
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, link, jobs] = bench;
    linktest::writeFile(sim.path("m.mtn"), pattern(kMotionSize, 8));
    ASSERT_TRUE(link.goTo(ControllerMode::BootLoader));
    // The next 31 bytes it sends are the probe's answers and "ld e000 ... Ready..": then the
    // device is gone, as if unplugged, while the image is to go out.
    sim.control("vanish 31");
    MaintenanceResult r = jobs.restoreMotion(sim.path("m.mtn"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgMotionWriteFailed);
    EXPECT_LT(link.progress(), 100);
    link.disconnect();
    EXPECT_FALSE(link.isPortOpen());
}

TEST(SimFaults, AControllerStallingDuringABackupWritesNoFile)
{
    // At the real line rate the upload takes over eleven seconds, so a stall lands in its midst.
    SimOptions options;
    options.pace = 57600;
    SimBench sim(options);
    ASSERT_TRUE(sim.ok());
    struct StallingHost : TestHost {
        using TestHost::TestHost;
        void acknowledge(int message) override
        {
            TestHost::acknowledge(message);
            sim.controlLater("stall 4000", 2000);
        }
    } host(sim);
    ControllerLink link{unpacedLine()};
    ASSERT_TRUE(link.connect(sim.device()));
    Maintenance jobs(link, host);
    MaintenanceResult r = jobs.backupMotion(sim.path("stalled.mtn"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgMotionReadFailed);
    EXPECT_GT(link.progress(), 0);
    EXPECT_LT(link.progress(), 100);
    EXPECT_FALSE(linktest::fileExists(sim.path("stalled.mtn")));
    EXPECT_TRUE(noTemporaryFiles(sim.folder()));
    link.disconnect();
    EXPECT_FALSE(link.isPortOpen());
}

TEST(SimFaults, AStalledControllerIsGivenUpBeforeAnyTransfer)
{
    SimJobs bench;
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, link, jobs] = bench;
    auto image = pattern(800, 9);
    auto rom = linktest::romContainer(linktest::intelHex(image), 18);
    linktest::writeFile(sim.path("servo.rom"), rom);
    auto before = sim.memory();
    sim.control("stall 1500");
    MaintenanceResult r = jobs.updateServos(sim.path("servo.rom"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgCannotDownload);
    EXPECT_FALSE(link.isPortOpen());
    EXPECT_TRUE(host.console.empty());
    EXPECT_EQ(sim.memory(), before);
}
