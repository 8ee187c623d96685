// The one wait that is long by design: a backup whose controller never starts sending (START
// never pressed) gives up after about 3000 polls of 10 ms.

#include "SimBench.h"

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
