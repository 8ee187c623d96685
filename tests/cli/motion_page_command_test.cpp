// tessaban motion page against the simulated controller: opening a page, sending commands,
// answering the controller's question, printing the mirror and leaving the menu behind.

#include "link/ControllerLink.h"
#include "platform/ByteChannel.h"
#include "support/Kz7SimProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

const std::string kProfile = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/default.rbt";

struct Result {
    int status = -1;
    std::string out;
};

Result tessaban(const std::string& args)
{
    Result r;
    std::string command = std::string(TESSABAN_BIN_DIR) + "/tessaban " + args + " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0)
        r.out.append(buffer.data(), n);
    int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// The highlighted entry of the controller's menu, by the controller link's own probe, or -1
// when it is not in its menu.
int menuEntry(const std::string& device)
{
    auto channel = platform::openSerialDevice(device, 57600);
    comm::ProbeReplies replies;
    if (!channel->isOpen() ||
        !comm::exchangeProbe(*channel, platform::systemClock(), comm::LinkTiming{}, replies))
        return -1;
    const comm::ProbeVerdict verdict = comm::classifyProbe(replies);
    return verdict.ok && verdict.mode == comm::ControllerMode::Menu ? verdict.menuEntry : -1;
}

} // namespace

TEST(MotionPageCommandTest, OpensSendsPrintsAndLeavesTheMenu)
{
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--profile", kProfile, "--joints", "1-18", "--unknown", "7"}));
    Result r = tessaban("motion page --port " + sim.devicePath() +
                        " --open 3 --send 'goto 0 1' --send 'set 600' --send write --send ']'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Page number     : 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Data address    : 0x0000E600"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Number of pose  : 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Selected pose   : 0"), std::string::npos) << r.out;
    // ID 1: current 601 after "]", pose 0 written with 600; ID 7 present but unknown; ID 20 absent
    EXPECT_NE(r.out.find("\n1        601    600    512"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n7          ?      ?    512"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n20         -      -"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nMessage: Value 601\n"), std::string::npos) << r.out;
    EXPECT_EQ(menuEntry(sim.devicePath()), 1);
}

TEST(MotionPageCommandTest, FindsTheControllerByItsComName)
{
    testsupport::PortFolder ports("motion-ports"); // read by the simulator and by tessaban
    ASSERT_TRUE(ports.ok());
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--profile", kProfile, "--com", "37"}));
    Result r = tessaban("motion page --port COM37");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Page number     : 1"), std::string::npos) << r.out;
}

TEST(MotionPageCommandTest, AnswersTheQuestionAsToldAndReportsUsageErrors)
{
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--profile", kProfile}));
    Result no = tessaban("motion page --port " + sim.devicePath() +
                         " --open 3 --send 'goto 1 1' --send 'set 5' --send 'page 4'");
    ASSERT_EQ(no.status, 0) << no.out;
    EXPECT_NE(no.out.find("Answered \"Are you sure?\" with no."), std::string::npos) << no.out;
    EXPECT_NE(no.out.find("Page number     : 3"), std::string::npos) << no.out;

    Result yes = tessaban("motion page --port " + sim.devicePath() +
                          " --yes --open 3 --send 'goto 1 1' --send 'set 5' --send 'page 4'");
    ASSERT_EQ(yes.status, 0) << yes.out;
    EXPECT_NE(yes.out.find("Page number     : 4"), std::string::npos) << yes.out;

    EXPECT_EQ(tessaban("motion page --open 3").status, 2);
    EXPECT_EQ(tessaban("motion page --port COM1 --open 128").status, 2);
    EXPECT_EQ(tessaban("motion page --port COM1 --yes --no").status, 2);
    Result missing = tessaban("motion page --port /dev/no-such-port");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Can not open /dev/no-such-port!"), std::string::npos) << missing.out;
}
