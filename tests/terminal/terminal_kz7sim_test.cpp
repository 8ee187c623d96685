// The terminal's core against kz7sim: the console banner arrives on the screen, and the
// simulator going away shows up as a failed port.

#include "support/Kz7SimProcess.h"
#include "termcore/TerminalScreen.h"
#include "termport/TerminalPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

std::string screenText(const termcore::TerminalScreen& screen, int rows)
{
    std::string out;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < screen.columns(); ++c)
            out.push_back(static_cast<char>(screen.cell(c, r)));
        out.push_back('\n');
    }
    return out;
}

TEST(TerminalWithKz7Sim, ConsoleBannerReachesTheScreenAndVanishingIsNoticed)
{
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    terminal::TerminalPort port;
    std::atomic<int> ready{0};
    ASSERT_TRUE(port.open(sim.devicePath(), 57600, [&] { ++ready; }));
    termcore::TerminalScreen screen;
    ASSERT_TRUE(screen.create(80, 1200, {8, 16}, 640, 576));
    // From the menu, a carriage return opens the console, which greets with its banner.
    ASSERT_TRUE(port.write("\r", 1));
    // The watcher tells of the first bytes before the test reads any: reading first would take
    // them from under it, and it would have nothing to tell.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ready.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GT(ready.load(), 0) << "the watcher never told of the banner";
    uint8_t block[terminal::TerminalPort::kDrainBlock];
    while (screenText(screen, 10).find("[KZ-7]>") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        port.drained();
        const long n = port.read(block, sizeof block);
        ASSERT_GE(n, 0);
        if (n > 0)
            screen.write(block, static_cast<size_t>(n));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string text = screenText(screen, 10);
    EXPECT_NE(text.find("console"), std::string::npos) << text;
    EXPECT_NE(text.find("[KZ-7]>"), std::string::npos) << text;

    // The simulator exits: reads fail instead of returning nothing for ever.
    ASSERT_TRUE(sim.stop());
    long n = 0;
    const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while ((n = port.read(block, sizeof block)) >= 0 && std::chrono::steady_clock::now() < gone)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(n, -1);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

} // namespace
