// The waits that are long by design: a backup or a firmware read-back whose controller never
// starts sending (START never pressed) gives up after about 3000 polls of 10 ms.

#include "link/SimBench.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(SlowBackup, AControllerThatNeverSendsFailsAfterAboutThirtySecondsWithoutAFile)
{
    linktest::SimBench sim;
    ASSERT_TRUE(sim.ok());
    auto start = std::chrono::steady_clock::now();
    linktest::CommandResult r =
        sim.tessaban({"motion", "backup", "--port", "COM7", sim.path("never.mtn")}, 100);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to read Motion data of Robot!\n");
    EXPECT_GE(took, std::chrono::seconds(30));
    EXPECT_LT(took, std::chrono::seconds(60));
    EXPECT_FALSE(linktest::fileExists(sim.path("never.mtn")));
    EXPECT_TRUE(linktest::noTemporaryFiles(sim.folder()));
}

// The firmware is in, but the read-back asked for with --verify never comes (nobody pressed
// START): that is neither a failure nor a plain success, and has an exit status of its own.
TEST(SlowBackup, AFirmwareReadBackThatNeverComesEndsUpdatedButNotChecked)
{
    linktest::SimBench sim;
    ASSERT_TRUE(sim.ok());
    const auto firmware = linktest::pattern(2000, 9);
    linktest::writeHex(sim.path("fw.hex"), firmware);
    linktest::CommandResult r =
        sim.tessaban({"firmware", "update", "--port", "COM7", "--verify", sim.path("fw.hex")}, 100);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(
        r.out.find("Succeed to update KZ-7!\nThe new firmware was not read back, so it is not checked.\n"),
        std::string::npos)
        << r.out;
    const auto memory = sim.memory();
    ASSERT_GE(memory.size(), firmware.size());
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), memory.begin()));
}
