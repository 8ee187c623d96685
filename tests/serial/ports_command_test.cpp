// tessaban ports: the names it lists, the devices behind them and what they are, found without
// opening anything.

#include "SerialTestUtil.h"
#include "support/Kz7SimProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string run(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

std::string lineFor(const std::string& output, const std::string& name)
{
    size_t pos = output.find("\n" + name + " ");
    if (pos == std::string::npos)
        return {};
    size_t end = output.find('\n', pos + 1);
    return output.substr(pos + 1, end - pos - 1);
}

} // namespace

TEST(PortsCommand, ListsLinkedPortsWithTheirDeviceAndWhatStandsBehindThem)
{
    auto folder = std::filesystem::path(::testing::TempDir()) / ("ports-cmd-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    ::setenv("TESSABAN_PORTS", folder.c_str(), 1);
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "7"})) << sim.error();
    std::filesystem::create_symlink("/nonexistent/tty-gone", folder / "COM9");

    const std::string tessaban = std::string(TESSABAN_BIN_DIR) + "/tessaban ports";
    std::string output = run(tessaban);
    EXPECT_NE(output.find(folder.string()), std::string::npos) << output;
    std::string com7 = lineFor(output, "COM7");
    EXPECT_NE(com7.find(sim.devicePath()), std::string::npos) << output;
    EXPECT_NE(com7.find("linked"), std::string::npos);
    EXPECT_NE(com7.find("present  KZ-7 Simulator"), std::string::npos) << output;
    EXPECT_NE(lineFor(output, "COM9").find("missing"), std::string::npos) << output;

    // Held by a program, the same port is still listed (telling "busy" would mean opening it);
    // listing it did not disturb the holder.
    platform::SerialPort port;
    ASSERT_TRUE(port.open("COM7", 57600));
    output = run(tessaban);
    EXPECT_NE(lineFor(output, "COM7").find("present"), std::string::npos) << output;
    EXPECT_EQ(serialtest::probe(port).mode, serialtest::Menu);
    port.close();
    sim.stop();
    std::filesystem::remove_all(folder);
}
