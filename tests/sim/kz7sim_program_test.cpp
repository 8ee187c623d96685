// The kz7sim program as scripts and tests use it: the device path first, the COM link and the
// control FIFO it creates gone after SIGTERM, and refused options.

#include "support/Kz7SimProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::Kz7SimProcess;

namespace {

fs::path freshFolder(const std::string& name)
{
    fs::path folder = fs::path(::testing::TempDir()) / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

} // namespace

TEST(Kz7SimProgram, PrintsItsDeviceAndCleansUpOnTerminate)
{
    fs::path folder = freshFolder("kz7sim-program");
    ::setenv("TESSABAN_PORTS", (folder / "ports").c_str(), 1);
    fs::path fifo = folder / "control";
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "42", "--control", fifo.string()})) << sim.error();
    EXPECT_EQ(sim.devicePath().rfind("/dev/pts/", 0), 0u) << sim.devicePath();
    EXPECT_TRUE(fs::exists(sim.devicePath()));
    EXPECT_EQ(fs::read_symlink(folder / "ports" / "COM42"), sim.devicePath());
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(sim.control("no such command")) << "written; the simulator reports and ignores it";
    EXPECT_TRUE(sim.control("press MODE"));
    EXPECT_TRUE(sim.stop()) << "exit status 0 after SIGTERM";
    EXPECT_FALSE(fs::is_symlink(folder / "ports" / "COM42"));
    EXPECT_FALSE(fs::exists(fifo)) << "the FIFO it created is removed";

    // A FIFO that was there before stays.
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(sim.start({"--control", fifo.string()})) << sim.error();
    EXPECT_TRUE(sim.stop());
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::remove_all(folder);
}

TEST(Kz7SimProgram, RefusesBadOptionsAndForeignMemoryFiles)
{
    fs::path folder = freshFolder("kz7sim-refuse");
    {
        std::ofstream(folder / "short.mem") << "not a memory image";
        std::ofstream(folder / "plain") << "x";
    }
    for (std::vector<std::string> options : {std::vector<std::string>{"--com", "0"},
                                             {"--com", "257"},
                                             {"--pace", "10"},
                                             {"--power", "maybe"},
                                             {"--mode", "sleeping"},
                                             {"--joints", "1-40"},
                                             {"--unknown", "x"},
                                             {"--frobnicate"},
                                             {"--memory", (folder / "short.mem").string()},
                                             {"--control", (folder / "plain").string()},
                                             {"--profile", (folder / "missing.rbt").string()}}) {
        Kz7SimProcess sim;
        EXPECT_FALSE(sim.start(options)) << options[0];
        EXPECT_FALSE(sim.running());
    }
    fs::remove_all(folder);
}

TEST(Kz7SimProgram, EndsByItselfWhenTheProcessThatStartedItDies)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A test process that dies without stopping its simulator.
        ::close(pipeFds[0]);
        auto* sim = new Kz7SimProcess; // never destroyed: no stop()
        pid_t simPid = sim->start({}) ? sim->pid() : -1;
        [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &simPid, sizeof simPid);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    pid_t simPid = -1;
    ASSERT_EQ(::read(pipeFds[0], &simPid, sizeof simPid), static_cast<ssize_t>(sizeof simPid));
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    ASSERT_GT(simPid, 0);
    auto alive = [&] {
        std::ifstream stat("/proc/" + std::to_string(simPid) + "/stat");
        std::string pid, name, state;
        return static_cast<bool>(stat >> pid >> name >> state) && state != "Z";
    };
    for (int i = 0; i < 300 && alive(); ++i)
        ::usleep(10000);
    EXPECT_FALSE(alive()) << "kz7sim " << simPid << " outlived the process that started it";
    if (alive())
        ::kill(simPid, SIGKILL);
}

// A profile the simulator cannot stand in for is refused with the reason, instead of starting a
// robot without joints or with phantom ones.
TEST(Kz7SimProgram, RefusesProfilesThatDescribeNoRealRobot)
{
    fs::path folder = freshFolder("kz7sim-profile");
    struct Case {
        const char* name;
        const char* text;
        bool starts;
    };
    const Case cases[] = {
        {"good", "model:m.x\nJoints:2\n0:1:left:512\n1:2:right:512\n", true},
        {"absurd count", "model:m.x\nJoints:99999\n", false},
        {"no joints", "model:m.x\nJoints:0\n", false},
        {"a joint line missing", "model:m.x\nJoints:3\n0:1:left:512\n1:2:right:512\n", false},
        {"an ID off the bus", "model:m.x\nJoints:2\n0:1:left:512\n1:300:right:512\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path profile = folder / "robot.rbt";
        std::ofstream(profile) << c.text;
        Kz7SimProcess sim;
        EXPECT_EQ(sim.start({"--profile", profile.string()}), c.starts) << sim.error();
        if (c.starts) {
            EXPECT_TRUE(sim.stop());
        }
        EXPECT_FALSE(sim.running());
    }
    fs::remove_all(folder);
}

// The COM link is the simulator's until it ends: after "vanish" it still names the device that
// went away, so a program reopening COMn fails instead of opening some other port of that name.
TEST(Kz7SimProgram, KeepsItsComLinkAfterTheDeviceVanishes)
{
    fs::path folder = freshFolder("kz7sim-vanish");
    ::setenv("TESSABAN_PORTS", (folder / "ports").c_str(), 1);
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "43"})) << sim.error();
    const std::string device = sim.devicePath();
    ASSERT_TRUE(sim.control("vanish 0"));
    for (int i = 0; i < 300 && fs::exists(device); ++i)
        ::usleep(10000);
    EXPECT_FALSE(fs::exists(device)) << "the device went away";
    ::usleep(200000);
    EXPECT_TRUE(fs::is_symlink(folder / "ports" / "COM43"));
    EXPECT_EQ(fs::read_symlink(folder / "ports" / "COM43"), device);
    EXPECT_TRUE(sim.stop());
    EXPECT_FALSE(fs::is_symlink(folder / "ports" / "COM43")) << "removed when the simulator ends";
    fs::remove_all(folder);
}
