// The maintenance jobs against a scripted controller, for what the simulator cannot be made to
// do: a servo report that never ends, a servo image refused on every attempt, a backup that
// cannot be written, and the bytes that must never go out.

#include "FakeBench.h"
#include "TestFiles.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <thread>

using comm::ControllerLink;
using comm::ControllerMode;
using comm::Maintenance;
using comm::MaintenanceResult;
using linktest::FakeController;
using linktest::FakeMode;
using linktest::FakeScript;
using linktest::fakeTiming;

namespace {

struct RecordingHost : comm::MaintenanceHost {
    void acknowledge(int message) override
    {
        acknowledged.push_back(message);
        if (fake)
            fake->pressStart();
    }
    void notice(int message) override { notices.push_back(message); }
    void consoleText(const uint8_t* bytes, size_t count) override
    {
        console.append(reinterpret_cast<const char*>(bytes), count);
    }
    FakeController* fake = nullptr;
    std::vector<int> acknowledged;
    std::vector<int> notices;
    std::string console;
};

struct Bench {
    explicit Bench(FakeScript script = {}) : fake(std::move(script)) { host.fake = &fake; }
    bool connect() { return fake.ok() && link.connect(fake.devicePath()); }
    std::string path(const std::string& name) const { return folder + "/" + name; }
    bool commandSent(const std::string& prefix)
    {
        for (const auto& c : fake.commands())
            if (c.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    FakeController fake;
    ControllerLink link{fakeTiming(), [this](const std::string&, int) { return fake.open(); }, fake.clock()};
    RecordingHost host;
    comm::MaintenanceTiming timing{50, 5, 100, 10};
    Maintenance jobs{link, host, timing};
    testsupport::TempFolder scratch{"linkjobs"};
    std::string folder = scratch.path().string();
};

std::vector<uint8_t> bytes(size_t n, uint8_t seed)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

std::string writeRom(const Bench& bench, const std::string& name, size_t imageBytes, int kind)
{
    auto rom = linktest::romContainer(linktest::intelHex(bytes(imageBytes, 3)), kind);
    return linktest::writeFile(bench.path(name), rom);
}

} // namespace

TEST(ServoUpdateJob, ShowsTheReportUpToItsEndMarkAndNamesTheTargetRange)
{
    for (int kind : {2, 18}) {
        FakeScript script;
        script.servoReport = "ID 1 .. ok\r\nID 2 .. ok\r\nall done<after the mark";
        Bench bench(script);
        ASSERT_TRUE(bench.connect());
        MaintenanceResult r = bench.jobs.updateServos(writeRom(bench, "s.rom", 300, kind));
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.message, comm::kMsgServoUpdated);
        EXPECT_EQ(bench.host.console, "ID 1 .. ok\r\nID 2 .. ok\r\nall done");
        EXPECT_TRUE(bench.commandSent(kind == 2 ? "update 0 30" : "update 100 109"));
        ASSERT_EQ(bench.fake.images().size(), 1u);
        EXPECT_EQ(bench.fake.images()[0].size(), 300u + 2u) << "the image, one fill byte and the sum";
        EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu));
    }
}

TEST(ServoUpdateJob, FailsWhenTheReportNeverEnds)
{
    FakeScript script;
    script.servoSilent = true;
    Bench bench(script);
    ASSERT_TRUE(bench.connect());
    const int64_t start = bench.fake.clock().nowMs();
    MaintenanceResult r = bench.jobs.updateServos(writeRom(bench, "s.rom", 100, 2));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgServoUpdateFailed);
    // More than 100 polls of 5 ms without a byte.
    EXPECT_GE(bench.fake.clock().nowMs() - start, 500);
    EXPECT_EQ(bench.fake.mode(), FakeMode::Console) << "left where the failing step left it";
}

TEST(ServoUpdateJob, NeverHandsOnAnImageThatDidNotArrive)
{
    FakeScript script;
    script.refuseLoads = 4; // every attempt, retries included
    Bench bench(script);
    ASSERT_TRUE(bench.connect());
    MaintenanceResult r = bench.jobs.updateServos(writeRom(bench, "s.rom", 100, 2));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgServoUpdateFailed);
    EXPECT_FALSE(bench.commandSent("update"));
    EXPECT_TRUE(bench.fake.images().empty());

    // A container that is refused, malformed or for another kind of program, sends nothing at
    // all, not even a probe.
    bench.fake.clearReceived();
    linktest::writeFile(bench.path("bad.rom"), {1, 0, 48, 0});
    EXPECT_EQ(bench.jobs.updateServos(bench.path("bad.rom")).message, comm::kMsgNotServoProgram);
    EXPECT_EQ(bench.jobs.updateServos(writeRom(bench, "k3.rom", 100, 3)).message, comm::kMsgNotServoProgram);
    EXPECT_EQ(bench.fake.received(), "");
}

TEST(FirmwareJobs, RefuseAFileThatDoesNotLoadBeforeSendingAnything)
{
    Bench bench;
    ASSERT_TRUE(bench.connect());
    bench.fake.clearReceived();
    // The first record is good, the second is not: nothing of the first may go out either.
    std::string text = ":0400000001020304F2\n 0400040001020304EE\n";
    linktest::writeFile(bench.path("half.hex"), std::vector<uint8_t>(text.begin(), text.end()));
    MaintenanceResult r = bench.jobs.updateFirmware(bench.path("half.hex"));
    EXPECT_EQ(r.message, comm::kMsgNotFirmwareFile);
    EXPECT_FALSE(r.detail.empty());
    EXPECT_EQ(bench.fake.received(), "");
    EXPECT_TRUE(bench.link.isConnected());
}

TEST(FirmwareJobs, ReportAFailedUpdateAfterFourAttempts)
{
    FakeScript script;
    script.successReply = "Fail: checksum\r\n";
    Bench bench(script);
    ASSERT_TRUE(bench.connect());
    std::string hex = linktest::intelHex(bytes(200, 1));
    linktest::writeFile(bench.path("fw.hex"), std::vector<uint8_t>(hex.begin(), hex.end()));
    MaintenanceResult r = bench.jobs.updateFirmware(bench.path("fw.hex"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgFirmwareUpdateFailed);
    EXPECT_EQ(bench.fake.images().size(), 4u);
    EXPECT_TRUE(bench.link.isConnected()) << "a failed update keeps the connection";
}

TEST(MotionJobs, ABackupThatCannotBeSavedIsRefusedBeforeTheControllerIsAsked)
{
    Bench bench;
    ASSERT_TRUE(bench.connect());
    bench.fake.clearReceived();
    // A folder that is not there, and a target that is no regular file: both are refused
    // before the controller is asked for anything, so the user never presses START in vain.
    for (const std::string& target : {bench.path("no/such/folder/m.mtn"), std::string("/dev/null")}) {
        SCOPED_TRACE(target);
        MaintenanceResult r = bench.jobs.backupMotion(target);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.refused);
        EXPECT_EQ(r.message, comm::kMsgMotionReadFailed);
        EXPECT_NE(r.detail.find(target), std::string::npos) << r.detail;
    }
    EXPECT_TRUE(bench.host.acknowledged.empty());
    EXPECT_EQ(bench.fake.received(), "");
    EXPECT_FALSE(linktest::fileExists(bench.path("no")));
    EXPECT_TRUE(linktest::folderEntries(bench.folder).empty());
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(MotionJobs, ARestoreRefusesAFileOfTheWrongSizeBeforeSendingAnything)
{
    Bench bench;
    ASSERT_TRUE(bench.connect());
    bench.fake.clearReceived();
    for (size_t size : {65535u, 65537u}) {
        MaintenanceResult r =
            bench.jobs.restoreMotion(linktest::writeFile(bench.path("odd.mtn"), bytes(size, 3)));
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.message, comm::kMsgNotMotionData) << size;
    }
    MaintenanceResult missing = bench.jobs.restoreMotion(bench.path("missing.mtn"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.message, comm::kMsgNone);
    EXPECT_FALSE(missing.detail.empty());
    EXPECT_EQ(bench.fake.received(), "");
}

TEST(MotionJobs, ARestoreSendsTheFileAndItsSum)
{
    FakeScript script;
    script.imageLength = 65537;
    Bench bench(script);
    ASSERT_TRUE(bench.connect());
    std::vector<uint8_t> ones(65536, 0x01);
    MaintenanceResult r = bench.jobs.restoreMotion(linktest::writeFile(bench.path("ones.mtn"), ones));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(bench.fake.images().size(), 1u);
    const auto sent = bench.fake.images()[0];
    ASSERT_EQ(sent.size(), 65537u);
    EXPECT_EQ(sent.back(), 0x00) << "65,536 ones sum to 0 modulo 256";
    EXPECT_TRUE(bench.commandSent("ld e000"));
}

TEST(ProgramJobs, DownloadAndPlayLeaveTheControllerInItsMenu)
{
    FakeScript script;
    script.imageLength = 41;
    script.runningOutput = "hello\nfrom\r\nthe robot";
    Bench bench(script);
    ASSERT_TRUE(bench.connect());
    auto image = bytes(40, 9);
    image.push_back(static_cast<uint8_t>(std::accumulate(image.begin(), image.end(), 0u)));
    ASSERT_TRUE(bench.jobs.downloadProgram(image).ok);
    ASSERT_EQ(bench.fake.images().size(), 1u);
    EXPECT_EQ(bench.fake.images()[0], image);
    EXPECT_TRUE(bench.commandSent("ld a000"));
    EXPECT_FALSE(bench.jobs.downloadProgram({}).ok);

    std::atomic<bool> stop{false};
    // The user stops the program a while after it started playing.
    std::function<void()> stopOnceRunning = [&] {
        if (bench.fake.mode() == FakeMode::Running)
            bench.fake.later(300, [&] { stop.store(true); });
        else
            bench.fake.later(10, stopOnceRunning);
    };
    bench.fake.later(0, stopOnceRunning);
    MaintenanceResult played = bench.jobs.playProgram(stop);
    EXPECT_TRUE(played.ok);
    EXPECT_EQ(bench.host.console, script.runningOutput);
    EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu));
}

TEST(ProgramJobs, APlayThatCannotStopDisconnects)
{
    FakeScript script;
    script.runningIgnoresBreak = true;
    Bench bench(script);
    ASSERT_TRUE(bench.connect());
    std::atomic<bool> stop{true};
    MaintenanceResult r = bench.jobs.playProgram(stop);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, comm::kMsgCannotConnect);
    EXPECT_TRUE(r.disconnected);
    EXPECT_FALSE(bench.link.isPortOpen());
}
