// The maintenance jobs against the simulated controller: motion backup and restore, firmware
// recovery from power off, and the failures that injected faults bring. Every case runs
// in-process against sim::Controller on a virtual clock; the ones that prove the real port (a
// device that goes away, a stall on a paced line) also run against kz7sim on a pseudo-terminal.
// Whole transfers through the real port are proven by the command-line tests and the serial
// session tests. Firmware and servo updates run end to end through the command line
// (cli_controller_test).

#include "SimBench.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "support/SimChannel.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <numeric>
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

enum class Where { Pty, InProcess };

// The simulator runs unpaced (its answers may be paced), so there is no line to keep pace with.
comm::LinkTiming unpacedLine()
{
    comm::LinkTiming t;
    t.lineBaud = 0;
    return t;
}

// The controller the jobs talk to: kz7sim on a pty, or sim::Controller in-process. Files live in
// a scratch folder either way.
class Controller {
  public:
    Controller(Where where, const SimOptions& options)
    {
        if (where == Where::Pty) {
            process_ = std::make_unique<SimBench>(options);
            return;
        }
        sim::Mode mode = sim::Mode::Menu;
        if (!options.mode.empty())
            mode = *sim::modeFromName(options.mode);
        local_ = std::make_unique<testsupport::InProcessController>(options.poweredOn, mode);
        if (options.blankFirmware)
            local_->memory.eraseFirmware();
        local_->setOutputBaud(options.pace);
    }
    bool ok() const { return process_ ? process_->ok() : folder_.ok(); }
    std::string device() const { return process_ ? process_->device() : "in-process"; }
    std::string path(const std::string& name) const
    {
        return process_ ? process_->path(name) : folder_.file(name);
    }
    std::string folder() const { return process_ ? process_->folder() : folder_.path().string(); }
    void control(const std::string& line)
    {
        if (process_)
            process_->control(line);
        else
            local_->control(line);
    }
    // Runs action after delayMs: real time on the pty, the link's virtual time in-process.
    void later(int delayMs, std::function<void()> action)
    {
        if (local_) {
            local_->at(local_->clock.nowMs() + delayMs, std::move(action));
            return;
        }
        std::thread([delayMs, action = std::move(action)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            action();
        }).detach();
    }
    void controlLater(const std::string& line, int delayMs)
    {
        if (process_)
            process_->controlLater(line, delayMs);
        else
            local_->controlAt(local_->clock.nowMs() + delayMs, line);
    }
    std::vector<uint8_t> memory() const { return process_ ? process_->memory() : local_->memoryBytes(); }

    std::unique_ptr<ControllerLink> makeLink() const
    {
        if (process_)
            return std::make_unique<ControllerLink>(unpacedLine());
        auto* sim = local_.get();
        return std::make_unique<ControllerLink>(
            unpacedLine(), [sim](const std::string&, int) { return sim->open(); }, sim->clock);
    }

  private:
    std::unique_ptr<SimBench> process_;
    std::unique_ptr<testsupport::InProcessController> local_;
    testsupport::TempFolder folder_{"linktest"};
};

// Presses START on the simulator when the job asks the user to, and keeps what it was shown.
struct TestHost : comm::MaintenanceHost {
    explicit TestHost(Controller& sim) : sim(sim) {}
    void acknowledge(int message) override
    {
        acknowledged.push_back(message);
        if (!beforeStart.empty())
            sim.control(beforeStart);
        beforeStart.clear();
        if (whenAsked)
            whenAsked();
        if (pressStart)
            sim.control("press START");
    }
    void notice(int message) override { notices.push_back(message); }
    void consoleText(const uint8_t* bytes, size_t count) override
    {
        console.append(reinterpret_cast<const char*>(bytes), count);
    }
    Controller& sim;
    std::string beforeStart; // a fault to inject just before START is pressed next
    bool pressStart = true;  // false: nobody is at the robot
    std::function<void()> whenAsked;
    std::vector<int> acknowledged;
    std::vector<int> notices;
    std::string console;
};

// What nearly every test here sets up: the simulator, the host that presses its START, and a
// link with its maintenance jobs. connect() starts the link on the simulator's device.
struct SimJobs {
    explicit SimJobs(Where where, SimOptions options = {}) : sim(where, options) {}
    ::testing::AssertionResult connect()
    {
        if (!sim.ok())
            return ::testing::AssertionFailure() << "the simulator did not start";
        if (!link.connect(sim.device()))
            return ::testing::AssertionFailure() << "the link did not connect to " << sim.device();
        return ::testing::AssertionSuccess();
    }
    Controller sim;
    TestHost host{sim};
    std::unique_ptr<ControllerLink> linkOwner = sim.makeLink();
    ControllerLink& link = *linkOwner;
    Maintenance jobs{link, host};
};

// An older backup, keep.mtn, that a failed one must leave as it is.
std::vector<uint8_t> keepOlderBackup(const Controller& sim, unsigned seed)
{
    auto older = linktest::pattern(kMotionSize, seed);
    linktest::writeFile(sim.path("keep.mtn"), older);
    return older;
}

} // namespace

using linktest::motionOf;
using linktest::noTemporaryFiles;
using linktest::pattern;
using linktest::writeHex;

void BackupRestoreBackupGivesTheSameFile(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;

    MaintenanceResult first = jobs.backupMotion(sim.path("first.mtn"));
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.message, comm::kMsgMotionReadDone);
    EXPECT_EQ(host.acknowledged, (std::vector<int>{comm::kMsgPressStart, comm::kMsgPressStartAgain}));
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

void RecoversAControllerWithoutFirmware(Where where)
{
    SimOptions options;
    options.poweredOn = false;
    options.blankFirmware = true;
    SimJobs bench(where, options);
    ASSERT_TRUE(bench.sim.ok());
    auto& [sim, host, linkOwner, link, jobs] = bench;
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

void NewFirmwareIsReadBackAndADifferenceIsNoSuccess(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
    const auto firmware = pattern(1500, 7);
    writeHex(sim.path("fw.hex"), firmware);
    enum Who { Presses, Away, Skips };
    struct Case {
        const char* what;
        const char* fault;
        bool verify;
        Who user;
        bool ok;
        int message;
        size_t acknowledged;
    } cases[] = {
        {"checked", "", true, Presses, true, comm::kMsgFirmwareUpdated, 1},
        {"read back garbled", "garble 3", true, Presses, false, comm::kMsgFirmwareMismatch, 1},
        {"no check asked for", "", false, Presses, true, comm::kMsgFirmwareUpdatedUnchecked, 0},
        // The new firmware is in: a read-back that never comes is no failure.
        {"nobody presses START", "", true, Away, true, comm::kMsgFirmwareUpdatedUnchecked, 1},
        {"the check is skipped", "", true, Skips, true, comm::kMsgFirmwareUpdatedUnchecked, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.acknowledged.clear();
        host.beforeStart = c.fault;
        host.pressStart = c.user == Presses;
        int64_t askedAt = -1;
        host.whenAsked = [&, skip = c.user == Skips] {
            askedAt = link.clock().nowMs();
            if (skip)
                jobs.skipReadBack();
        };
        MaintenanceResult r = jobs.updateFirmware(sim.path("fw.hex"), c.verify);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.unchecked, c.message == comm::kMsgFirmwareUpdatedUnchecked);
        EXPECT_EQ(host.acknowledged.size(), c.acknowledged);
        EXPECT_EQ(link.currentMode(), modeValue(ControllerMode::Menu));
        EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), sim.memory().begin()));
        if (c.user == Skips) {
            EXPECT_LT(link.clock().nowMs() - askedAt, 5000) << "a skip ends the wait for START at once";
        }
    }
    host.pressStart = true;
    host.whenAsked = nullptr;
}

// A backup is written only when two reads agree: bytes garbled on the line in one of them give
// 10018 and no file (an older one stays); read once, the garbled bytes would be saved as good.
void AGarbledBackupIsNeverSaved(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
    const auto older = keepOlderBackup(sim, 3);
    host.beforeStart = "garble 50";
    MaintenanceResult r = jobs.backupMotion(sim.path("keep.mtn"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgMotionReadFailed);
    EXPECT_NE(r.detail.find("differ"), std::string::npos) << r.detail;
    EXPECT_EQ(host.acknowledged, (std::vector<int>{comm::kMsgPressStart, comm::kMsgPressStartAgain}));
    EXPECT_EQ(linktest::readFile(sim.path("keep.mtn")), older);
    EXPECT_TRUE(noTemporaryFiles(sim.folder()));

    ASSERT_TRUE(link.goTo(ControllerMode::Menu));
    host.acknowledged.clear();
    host.beforeStart = "garble 50";
    MaintenanceResult once = jobs.backupMotion(sim.path("once.mtn"), false);
    ASSERT_TRUE(once.ok);
    EXPECT_EQ(host.acknowledged, std::vector<int>{comm::kMsgPressStart});
    EXPECT_NE(linktest::readFile(sim.path("once.mtn")), motionOf(sim.memory())) << "what the line brought";
}

void RecoveryGivesUpOrIsCancelledWithoutSendingAnything(Where where)
{
    SimOptions options;
    options.poweredOn = false;
    SimJobs bench(where, options);
    ASSERT_TRUE(bench.sim.ok());
    auto& [sim, host, linkOwner, link, jobs] = bench;
    writeHex(sim.path("fw.hex"), pattern(500, 2));
    auto before = sim.memory();

    MaintenanceResult missed = jobs.recoverFirmware(sim.device(), sim.path("fw.hex"), 1);
    EXPECT_FALSE(missed.ok);
    EXPECT_EQ(missed.message, comm::kMsgBootLoaderMissed);
    link.closePort();

    link.armBootLoaderWait();
    sim.later(300, [&link = link] { link.cancelBootLoaderWait(); });
    MaintenanceResult cancelled = jobs.recoverFirmware(sim.device(), sim.path("fw.hex"), 30);
    EXPECT_TRUE(cancelled.cancelled);
    link.closePort();

    // A file that does not load is refused before the port is even opened.
    linktest::writeFile(sim.path("broken.hex"), {':', '0', '0', 'Z', '\n'});
    MaintenanceResult refused = jobs.recoverFirmware(sim.device(), sim.path("broken.hex"), 1);
    EXPECT_EQ(refused.message, comm::kMsgNotFirmwareFile);
    EXPECT_FALSE(link.isPortOpen());
    EXPECT_EQ(sim.memory(), before);
}

void AControllerVanishingDuringABackupWritesNoFile(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
    const auto older = keepOlderBackup(sim, 1);
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

void AGarbledControllerIsGivenUpBeforeAnyTransfer(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
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

void AControllerVanishingAsTheImageStartsFailsTheRestore(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
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

void AControllerStallingDuringABackupWritesNoFile(Where where)
{
    // At the real line rate the upload takes over eleven seconds, so a stall lands in its midst.
    SimOptions options;
    options.pace = 57600;
    Controller sim(where, options);
    ASSERT_TRUE(sim.ok());
    struct StallingHost : TestHost {
        using TestHost::TestHost;
        void acknowledge(int message) override
        {
            TestHost::acknowledge(message);
            sim.controlLater("stall 4000", 2000);
        }
    } host(sim);
    std::unique_ptr<ControllerLink> linkOwner = sim.makeLink();
    ControllerLink& link = *linkOwner;
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

void AStalledControllerIsGivenUpBeforeAnyTransfer(Where where)
{
    SimJobs bench(where);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
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

TEST(SimMaintenance, BackupRestoreBackupGivesTheSameFile)
{
    BackupRestoreBackupGivesTheSameFile(Where::InProcess);
}
TEST(SimMaintenance, RecoversAControllerWithoutFirmware)
{
    RecoversAControllerWithoutFirmware(Where::InProcess);
}
TEST(SimMaintenance, NewFirmwareIsReadBackAndADifferenceIsNoSuccess)
{
    NewFirmwareIsReadBackAndADifferenceIsNoSuccess(Where::InProcess);
}
TEST(SimFaults, AGarbledBackupIsNeverSaved)
{
    AGarbledBackupIsNeverSaved(Where::InProcess);
}
TEST(SimMaintenance, RecoveryGivesUpOrIsCancelledWithoutSendingAnything)
{
    RecoveryGivesUpOrIsCancelledWithoutSendingAnything(Where::InProcess);
}
TEST(SimFaults, AControllerVanishingDuringABackupWritesNoFile)
{
    AControllerVanishingDuringABackupWritesNoFile(Where::InProcess);
}
TEST(SimFaults, AGarbledControllerIsGivenUpBeforeAnyTransfer)
{
    AGarbledControllerIsGivenUpBeforeAnyTransfer(Where::InProcess);
}
TEST(SimFaults, AControllerVanishingAsTheImageStartsFailsTheRestore)
{
    AControllerVanishingAsTheImageStartsFailsTheRestore(Where::InProcess);
}
TEST(SimFaults, AControllerStallingDuringABackupWritesNoFile)
{
    AControllerStallingDuringABackupWritesNoFile(Where::InProcess);
}
TEST(SimFaults, AStalledControllerIsGivenUpBeforeAnyTransfer)
{
    AStalledControllerIsGivenUpBeforeAnyTransfer(Where::InProcess);
}

// The ones that prove the real port.
TEST(SimFaultsOnPty, AControllerVanishingDuringABackupWritesNoFile)
{
    AControllerVanishingDuringABackupWritesNoFile(Where::Pty);
}
TEST(SimFaultsOnPty, AControllerStallingDuringABackupWritesNoFile)
{
    AControllerStallingDuringABackupWritesNoFile(Where::Pty);
}

// A host that never presses START: the backup's wait for it times out.
struct ForgetfulHost : comm::MaintenanceHost {
    void acknowledge(int message) override { acknowledged.push_back(message); }
    std::vector<int> acknowledged;
};

TEST(SimFaults, ABackupWhoseStartIsNeverPressedLeavesTheControllerAnsweringItsMenu)
{
    Controller sim(Where::InProcess, {});
    ASSERT_TRUE(sim.ok());
    ForgetfulHost host;
    std::unique_ptr<ControllerLink> link = sim.makeLink();
    ASSERT_TRUE(link->connect(sim.device()));
    Maintenance jobs(*link, host);
    MaintenanceResult r = jobs.backupMotion(sim.path("never.mtn"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgMotionReadFailed);
    EXPECT_EQ(host.acknowledged, std::vector<int>{comm::kMsgPressStart});
    EXPECT_FALSE(linktest::fileExists(sim.path("never.mtn")));
    // The boot loader's wait for START was called off: the controller is back in its menu and a
    // later job finds it there.
    EXPECT_EQ(link->currentMode(), modeValue(ControllerMode::Menu));
    EXPECT_TRUE(link->goTo(ControllerMode::Console));
}

// Files that must never reach the controller: images past their area (one would overwrite the
// behaviour program and the motion pages behind the firmware, the other motion pages behind the
// servo image), files without data, damaged records. Each is refused before anything is sent
// and the controller's memory stays the same byte for byte.
TEST(SimMaintenance, ImagesThatDoNotBelongInTheirAreaAreRefusedWithTheMemoryUnchanged)
{
    SimJobs bench(Where::InProcess);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
    auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    const std::string pastFirmware = ":020000021000EC\n" + linktest::intelHex(pattern(64, 1));
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        bool servo; // a .rom for updateServos, else a .hex for updateFirmware
        const char* reason;
    };
    const Case cases[] = {
        {"hex above 64 KiB", text(pastFirmware), false, "firmware area"},
        {"hex one byte too long", text(linktest::intelHex(pattern(0xA001, 2))), false, "firmware area"},
        {"rom of 16 KiB", linktest::romContainer(linktest::intelHex(pattern(0x4000, 3)), 2), true,
         "servo image area"},
        {"empty hex", {}, false, "no data"},
        {"hex with only an end record", text(":00000001FF\n"), false, "no data"},
        {"rom with only a header", linktest::romContainer("", 2), true, "no data"},
        {"hex with a damaged record", text(":0400000001020304F2\n:0400040001020304EF\n"), false, "checksum"},
        {"hex short of its checksum", text(":0400000001020304\n"), false, "digits"},
        // A copy cut short: 100 whole records (1,600 bytes) of a 4 KiB firmware, no end record.
        {"hex cut before its end record", text(linktest::intelHex(pattern(4096, 5)).substr(0, 100 * 44)),
         false, "end record"},
    };
    const std::vector<uint8_t> before = sim.memory();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = linktest::writeFile(sim.path(c.servo ? "x.rom" : "x.hex"), c.file);
        MaintenanceResult r = c.servo ? jobs.updateServos(path) : jobs.updateFirmware(path);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.refused);
        EXPECT_EQ(r.message, c.servo ? comm::kMsgNotServoProgram : comm::kMsgNotFirmwareFile);
        EXPECT_NE(r.detail.find(path), std::string::npos) << r.detail;
        EXPECT_NE(r.detail.find(c.reason), std::string::npos) << r.detail;
        EXPECT_TRUE(link.isConnected());
    }
    EXPECT_TRUE(sim.memory() == before) << "nothing was written";
    EXPECT_EQ(link.currentMode(), modeValue(ControllerMode::Menu));
}

TEST(SimMaintenance, AFullSizeFirmwareLeavesTheBehaviourProgramUntouched)
{
    SimJobs bench(Where::InProcess);
    ASSERT_TRUE(bench.connect());
    auto& [sim, host, linkOwner, link, jobs] = bench;
    std::vector<uint8_t> program = pattern(100, 4);
    program.push_back(static_cast<uint8_t>(std::accumulate(program.begin(), program.end(), 0u)));
    ASSERT_TRUE(jobs.downloadProgram(program).ok);
    const std::vector<uint8_t> before = sim.memory();

    const std::vector<uint8_t> firmware = pattern(0xA000, 6);
    MaintenanceResult r = jobs.updateFirmware(writeHex(sim.path("full.hex"), firmware));
    ASSERT_TRUE(r.ok) << r.detail;
    const std::vector<uint8_t> after = sim.memory();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 0xA000, before.end(), after.begin() + 0xA000))
        << "the fill byte past a full firmware area must not land on 0xA000";
    EXPECT_TRUE(std::equal(program.begin(), program.end() - 1, after.begin() + 0xA000));
}
