#pragma once
// The faults a test can put on the controller's side of the line: bytes dropped or garbled
// on their way out, a stall that holds input and output for a while, a controller that falls
// silent (until the next power-on) or vanishes after some bytes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

class FaultInjector {
  public:
    // `out` is the controller's pending output, which silence and vanishing throw away.
    explicit FaultInjector(std::string& out) : out_(out) {}

    void stallFor(int64_t now, long ms) { stallUntil_ = now + ms; }
    void drop(long bytes) { dropCount_ = bytes; }
    void garble(long bytes) { garbleCount_ = bytes; }
    // Sends `bytes` more, then nothing ever again; 0 vanishes at once.
    void vanishAfter(long bytes);
    void silence();
    // Power off ends the silence; held input is lost with the line.
    void powerOff();

    bool silent() const { return silent_; }
    bool vanished() const { return vanished_; }
    // Neither silent nor vanished: the controller hears and answers.
    bool listening() const { return !silent_ && !vanished_; }
    int64_t stalledUntil() const { return stallUntil_; }
    bool stalled(int64_t now) const { return now < stallUntil_; }

    // A stalled controller takes nothing in; the bytes wait on the line until released.
    void holdInput(const uint8_t* data, size_t count);
    bool holdingInput() const { return !heldInput_.empty(); }
    std::string releaseInput();

    // Up to maxBytes of the pending output as it reaches the PC, after drop, garble and vanish.
    std::string take(size_t maxBytes, int64_t now);

  private:
    std::string& out_;
    bool silent_ = false;
    int64_t stallUntil_ = 0;
    std::string heldInput_;
    long dropCount_ = 0;
    long garbleCount_ = 0;
    long vanishAfter_ = -1;
    bool vanished_ = false;
};

} // namespace sim
