#pragma once
// The controller's boot loader: a "--> " prompt that takes an image into memory ("ld ADDR",
// the image's bytes and their 8-bit sum, ended by a quiet line), sends memory out ("up ADDR
// LEN", then START), and starts the firmware ("app", "go").

#include "sim/ControllerMemory.h"
#include "sim/LineEditor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class BootLoader {
  public:
    // An image ends when the line has been quiet this long.
    static constexpr int64_t kImageEndQuietMs = 150;
    // An image that never starts is given up after this long.
    static constexpr int64_t kImageStartTimeoutMs = 5000;

    BootLoader(ControllerMemory& memory, std::string& out);

    static std::string version();

    // Shows the banner and the prompt.
    void enter();
    // Power off: a transfer in progress is lost.
    void reset();

    // What a byte asks of the controller.
    enum class Outcome { Stay, StartFirmware };
    Outcome input(uint8_t byte, int64_t now);
    void advance(int64_t now);
    std::optional<int64_t> nextDeadline() const;
    // START sends the memory an "up" asked for.
    void pressStart();
    // True once after an image was written into memory.
    bool takeMemoryChanged();

  private:
    enum class State { Prompt, Receiving, AwaitStart };

    Outcome command(const std::string& line, int64_t now);
    void finishImage();

    ControllerMemory& memory_;
    std::string& out_;
    LineEditor line_;
    State state_ = State::Prompt;
    uint32_t imageAddress_ = 0;
    std::vector<uint8_t> image_;
    size_t imageBytes_ = 0; // received, including any beyond the end of memory
    int64_t imageStarted_ = 0;
    int64_t imageLastByte_ = -1;
    uint32_t uploadAddress_ = 0;
    uint32_t uploadLength_ = 0;
    bool memoryChanged_ = false;
};

} // namespace sim
