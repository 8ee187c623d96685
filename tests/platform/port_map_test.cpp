#include "platform/PortMap.h"
#include "platform/SerialPort.h"
#include "support/HeldLine.h"
#include "support/PtyPeer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using testsupport::PtyPeer;

#include <algorithm>
#include <cstdio>
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
    EXPECT_EQ(platform::devicePathForPort("COM7"),
              fs::path(folder).parent_path().string() + "/dev-here/ttyX");
}

TEST_F(PortFolder, EnumerationListsPresentPortsByNumber)
{
    PtyPeer a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    // Made in an order that differs from the number order.
    ASSERT_TRUE(platform::linkPort(10, a.slavePath()));
    ASSERT_TRUE(platform::linkPort(3, b.slavePath()));
    ASSERT_TRUE(platform::linkPort(1, c.slavePath()));
    ASSERT_TRUE(platform::linkPort(5, "/nonexistent/tty"));

    auto names = platform::SerialPort::enumeratePorts();
    auto pos = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    ASSERT_LT(pos("COM1"), static_cast<long>(names.size()));
    ASSERT_LT(pos("COM3"), static_cast<long>(names.size()));
    ASSERT_LT(pos("COM10"), static_cast<long>(names.size()));
    EXPECT_EQ(pos("COM5"), static_cast<long>(names.size())) << "a dangling link is not a port";
    // Number order, so COM1, COM3, COM10 in that order.
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& x, const std::string& y) {
        return *platform::comPortNumber(x) < *platform::comPortNumber(y);
    }));

    // A port held by someone is listed all the same (finding out would mean opening it); it
    // stays held, and says it is busy when somebody connects.
    platform::SerialPort holder;
    ASSERT_TRUE(holder.open("COM3", 57600));
    names = platform::SerialPort::enumeratePorts();
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM3"), 1);
    EXPECT_TRUE(holder.isOpen());
    platform::SerialPort second;
    EXPECT_FALSE(second.open("COM3", 57600));
    EXPECT_EQ(platform::SerialPort::enumeratePorts(1).size(), 1u);

    auto map = platform::portMap();
    auto it = std::find_if(map.begin(), map.end(), [](const auto& e) { return e.number == 5; });
    ASSERT_NE(it, map.end());
    EXPECT_TRUE(it->linked);
    EXPECT_FALSE(it->exists);
}

TEST_F(PortFolder, ListingLeavesALineInUseAsItsProgramSetIt)
{
    testsupport::HeldLine held;
    ASSERT_TRUE(held.ok());
    ASSERT_TRUE(platform::linkPort(4, held.slavePath()));
    auto names = platform::SerialPort::enumeratePorts();
    EXPECT_NE(std::find(names.begin(), names.end(), "COM4"), names.end());
    EXPECT_FALSE(platform::portMap().empty());
    EXPECT_EQ(held.untouched(), "");
}

TEST_F(PortFolder, LabelsDescribeTheirPortsAndGoWithTheirLinks)
{
    PtyPeer a, b;
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_TRUE(platform::linkPort(2, a.slavePath(), nullptr, "KZ-7 Simulator"));
    ASSERT_TRUE(platform::linkPort(6, b.slavePath()));
    // A hand-written label: only its first line, without control characters, at most 80 long.
    {
        std::FILE* f = std::fopen((folder + "/COM6.label").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("  Desk \x1b[31mrobot  \nsecond line\n", f);
        std::fclose(f);
    }
    auto described = [](int number) {
        for (const auto& e : platform::portMap())
            if (e.number == number)
                return e.description;
        return std::string("(not listed)");
    };
    EXPECT_EQ(described(2), "KZ-7 Simulator");
    EXPECT_EQ(described(6), "Desk [31mrobot");
    // A relink without a label drops the old one; unlinking takes the label along.
    ASSERT_TRUE(platform::linkPort(2, b.slavePath()));
    EXPECT_EQ(described(2), "");
    ASSERT_TRUE(platform::unlinkPort(6));
    EXPECT_FALSE(fs::exists(folder + "/COM6.label"));
    EXPECT_EQ(described(6), "(not listed)");
    // Only entries named exactly COMn are ports: a simulator's debug socket beside it is not.
    ASSERT_EQ(::symlink(a.slavePath().c_str(), (folder + "/COM9.debug").c_str()), 0);
    EXPECT_EQ(described(9), "(not listed)");
}

TEST(TtyFacts, SysfsTellsEmptyLinesAndNamesUsbAdapters)
{
    testsupport::TempFolder sys("fake-sys");
    ASSERT_TRUE(sys.ok());
    const fs::path root = sys.path();
    auto put = [](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::FILE* f = std::fopen(file.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
    };
    // An FTDI-style adapter: tty -> port below the interface -> USB device with the names.
    const fs::path usb = root / "devices/pci0000:00/usb1/1-2";
    put(usb / "idVendor", "0403\n");
    put(usb / "idProduct", "6001\n");
    put(usb / "product", "FT232R USB UART\n");
    put(usb / "serial", "A50285BI\n");
    fs::create_directories(usb / "1-2:1.0/ttyUSB0");
    fs::create_directories(root / "class/tty/ttyUSB0");
    fs::create_directory_symlink(usb / "1-2:1.0/ttyUSB0", root / "class/tty/ttyUSB0/device");
    // A CDC device without product or serial strings.
    const fs::path acm = root / "devices/pci0000:00/usb1/1-3";
    put(acm / "idVendor", "2341\n");
    put(acm / "idProduct", "0043\n");
    fs::create_directories(acm / "1-3:1.0");
    fs::create_directories(root / "class/tty/ttyACM0");
    fs::create_directory_symlink(acm / "1-3:1.0", root / "class/tty/ttyACM0/device");
    // Two legacy lines: one with a chip, one without.
    put(root / "class/tty/ttyS0/type", "4\n");
    put(root / "class/tty/ttyS5/type", "0\n");

    struct Case {
        const char* device;
        bool emptySlot;
        const char* description;
    } cases[] = {
        {"/dev/ttyUSB0", false, "FT232R USB UART, serial A50285BI"},
        {"/dev/ttyACM0", false, "USB 2341:0043"},
        {"/dev/ttyS0", false, ""},
        {"/dev/ttyS5", true, ""},
        {"/dev/pts/3", false, ""}, // sysfs knows nothing of it: present if its node is
    };
    for (const Case& c : cases) {
        platform::TtyFacts facts = platform::ttyFacts(c.device, root.string());
        EXPECT_EQ(facts.emptySlot, c.emptySlot) << c.device;
        EXPECT_EQ(facts.description, c.description) << c.device;
    }
}
