// The simulator host that kz7sim and the simulator window share: it links and labels its COMn,
// serves on a thread of its own while another thread acts on the controller, keeps the memory
// file current and tidies the port folder away when it closes.

#include "sim/SimHost.h"

#include "support/TempFolder.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// The PC's end: opens the device raw and reads what arrives within a bound.
class Pc {
  public:
    explicit Pc(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios raw{};
        ::tcgetattr(fd_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(fd_, TCSANOW, &raw);
    }
    ~Pc() { ::close(fd_); }
    bool ok() const { return fd_ >= 0; }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Reads until `wanted` bytes came, or the line was quiet for quietMs (5 s at most).
    std::string receive(size_t wanted, int quietMs = 5000)
    {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        auto quietFrom = std::chrono::steady_clock::now();
        while (got.size() < wanted && std::chrono::steady_clock::now() < end &&
               std::chrono::steady_clock::now() - quietFrom < std::chrono::milliseconds(quietMs)) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char buffer[256];
                const ssize_t n = ::read(fd_, buffer, sizeof buffer);
                if (n > 0) {
                    got.append(buffer, static_cast<size_t>(n));
                    quietFrom = std::chrono::steady_clock::now();
                }
            }
        }
        return got;
    }

  private:
    int fd_;
};

} // namespace

TEST(SimHost, ServesOnItsThreadWhileAnotherActsAndTidiesUpWhenClosed)
{
    testsupport::PortFolder ports("simhost-ports");
    testsupport::TempFolder data("simhost-data");
    ASSERT_TRUE(ports.ok() && data.ok());
    sim::SimOptions options;
    options.com = 14;
    options.memoryFile = data.file("kz7.mem");
    options.sensors = "100";

    sim::SimHost host;
    std::string error;
    ASSERT_EQ(host.open(options, &error), sim::SimHost::Failure::None) << error;
    EXPECT_EQ(fs::read_symlink(ports.file("COM14")).string(), host.devicePath());
    std::ifstream label(ports.file("COM14.label"));
    std::string text;
    std::getline(label, text);
    EXPECT_EQ(text, "KZ-7 Simulator");
    ASSERT_TRUE(host.startThread(&error)) << error;

    Pc pc(host.devicePath());
    ASSERT_TRUE(pc.ok());
    // Another thread moves the menu's highlight while the loop serves the PC's probes.
    std::thread presser([&] {
        for (int i = 0; i < 3; ++i)
            host.act([](sim::Controller& c) { return c.control("press MODE"); });
    });
    presser.join();
    EXPECT_EQ(
        host.inspect([](const sim::Controller& c, const sim::ControllerMemory&) { return c.menuEntry(); }),
        0);
    host.act([](sim::Controller& c) { return c.control("press MODE"); });
    (void)pc.receive(4096, 200); // the menu's redraws
    pc.send("***");
    EXPECT_EQ(pc.receive(2), std::string("\x01\x01", 2));

    // The memory changed from outside is written to its file, as a change over the line is.
    host.changeMemory(
        [](sim::ControllerMemory& m, sim::Controller&) { m.data()[sim::ControllerMemory::kProgram] = 0x42; });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!fs::exists(options.memoryFile) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(options.memoryFile));

    // A faster line is taken from the next quiet moment; the controller still answers on it.
    host.setPace(57600);
    pc.send("***");
    EXPECT_EQ(pc.receive(2), std::string("\x01\x01", 2));

    host.close();
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports.file("COM14"))));
    EXPECT_FALSE(fs::exists(ports.file("COM14.label")));
    sim::ControllerMemory kept;
    ASSERT_TRUE(kept.load(options.memoryFile, &error)) << error;
    EXPECT_EQ(kept.data()[sim::ControllerMemory::kProgram], 0x42);
}

TEST(SimHost, LeavesNothingBehindWhenItCannotStart)
{
    testsupport::PortFolder ports("simhost-ports");
    testsupport::TempFolder data("simhost-data");
    struct Case {
        const char* what;
        sim::SimOptions options;
        sim::SimHost::Failure failure;
    };
    sim::SimOptions badJoints;
    badJoints.com = 15;
    badJoints.joints = "1-99";
    sim::SimOptions badMemory;
    badMemory.com = 15;
    badMemory.memoryFile = data.write("short.mem", "short");
    sim::SimOptions badProfile;
    badProfile.com = 15;
    badProfile.profile = data.file("missing.rbt");
    const Case cases[] = {
        {"joint list", badJoints, sim::SimHost::Failure::Usage},
        {"memory file", badMemory, sim::SimHost::Failure::Setup},
        {"profile", badProfile, sim::SimHost::Failure::Setup},
    };
    for (const Case& c : cases) {
        sim::SimHost host;
        std::string error;
        EXPECT_EQ(host.open(c.options, &error), c.failure) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(host.isOpen()) << c.what;
        EXPECT_EQ(ports.entryCount(), 0u) << c.what;
    }
}
