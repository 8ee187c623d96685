#pragma once
// A pseudo-terminal that "another program" holds the way a terminal user would: 9,600 baud with
// line editing on, and a typed line waiting unread. untouched() says whether both are still so,
// for tests proving that listing ports leaves such a line alone.
//
//     testsupport::HeldLine held;
//     ASSERT_TRUE(held.ok());
//     platform::linkPort(4, held.slavePath());
//     listPorts();
//     EXPECT_EQ(held.untouched(), "");

#include <string>

namespace testsupport {

class HeldLine {
  public:
    HeldLine();
    ~HeldLine();
    HeldLine(const HeldLine&) = delete;
    HeldLine& operator=(const HeldLine&) = delete;

    bool ok() const { return slave_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    // Empty when the speed, the line editing and the waiting line are as they were; else what
    // changed. Reads the waiting line, so it tells once.
    std::string untouched();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace testsupport
