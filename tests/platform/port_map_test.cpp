#include "support/PtyPeer.h"
#include "support/TempFolder.h"
#include "link/SerialPort.h"
#include "platform/PortMap.h"

#include <gtest/gtest.h>

using testsupport::PtyPeer;

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

class PortFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ports.ok()); }
    testsupport::PortFolder ports;
    const std::string folder = ports.path().string();
};

TEST(PortNames, OnlyComOneToTwoFiftySixAreNames)
{
    EXPECT_EQ(platform::comPortNumber("COM1"), 1);
    EXPECT_EQ(platform::comPortNumber("com12"), 12);
    EXPECT_EQ(platform::comPortNumber("COM256"), 256);
    for (const char* bad : {"COM0", "COM257", "COM", "COM01", "COMX", "LPT1", "COM1x", "", "COM1000"})
        EXPECT_FALSE(platform::comPortNumber(bad)) << bad;
}

TEST_F(PortFolder, LinksWinAndDefaultsFillTheRest)
{
    std::string err;
    ASSERT_TRUE(platform::linkPort(3, "/dev/pts/77", &err)) << err;
    EXPECT_EQ(platform::devicePathForPort("COM3"), "/dev/pts/77");
    EXPECT_EQ(platform::devicePathForPort("COM1"), "/dev/ttyS0");
    EXPECT_EQ(platform::devicePathForPort("COM32"), "/dev/ttyS31");
    EXPECT_EQ(platform::devicePathForPort("/dev/ttyS0"), "");
    // Replacing a link is atomic and keeps one entry.
    ASSERT_TRUE(platform::linkPort(3, "/dev/pts/78"));
    EXPECT_EQ(platform::devicePathForPort("COM3"), "/dev/pts/78");
    EXPECT_TRUE(platform::unlinkPort(3));
    EXPECT_EQ(platform::devicePathForPort("COM3"), "/dev/ttyS2");
    EXPECT_FALSE(platform::linkPort(257, "/dev/null"));
}

TEST_F(PortFolder, RelativeLinksResolveAgainstTheFolder)
{
    ASSERT_EQ(::symlink("../dev-here/ttyX", (folder + "/COM7").c_str()), 0);
    EXPECT_EQ(platform::devicePathForPort("COM7"), fs::path(folder).parent_path().string() + "/dev-here/ttyX");
}

TEST_F(PortFolder, EnumerationListsOpenablePortsByNumber)
{
    PtyPeer a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    // Made in an order that differs from the number order.
    ASSERT_TRUE(platform::linkPort(10, a.slavePath()));
    ASSERT_TRUE(platform::linkPort(3, b.slavePath()));
    ASSERT_TRUE(platform::linkPort(1, c.slavePath()));
    ASSERT_TRUE(platform::linkPort(5, "/nonexistent/tty"));

    auto names = comm::SerialPort::enumeratePorts();
    auto pos = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    ASSERT_LT(pos("COM1"), static_cast<long>(names.size()));
    ASSERT_LT(pos("COM3"), static_cast<long>(names.size()));
    ASSERT_LT(pos("COM10"), static_cast<long>(names.size()));
    EXPECT_EQ(pos("COM5"), static_cast<long>(names.size())) << "a dangling link is not a port";
    // Number order, so COM1, COM3, COM10 in that order.
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& x, const std::string& y) {
        return *platform::comPortNumber(x) < *platform::comPortNumber(y);
    }));

    // A port held by someone is busy and is left out.
    comm::SerialPort holder;
    ASSERT_TRUE(holder.open("COM3", 57600));
    names = comm::SerialPort::enumeratePorts();
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM3"), 0);
    EXPECT_EQ(comm::SerialPort::enumeratePorts(1).size(), 1u);

    auto map = platform::portMap();
    auto it = std::find_if(map.begin(), map.end(), [](const auto& e) { return e.number == 5; });
    ASSERT_NE(it, map.end());
    EXPECT_TRUE(it->linked);
    EXPECT_FALSE(it->exists);
}
