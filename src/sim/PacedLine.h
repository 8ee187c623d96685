#pragma once
// The serial line between the PC and the simulated controller, at a fixed rate of BAUD bits a
// second and ten bits a byte. Every byte the PC writes is stamped with the time a real line
// would have delivered it: one byte time after it was written or after the byte before it was
// through, whichever is later, so an idle line builds no credit. The controller is handed a
// byte only once its time has come. The controller's answers go the same way: the line carries
// them one byte time apiece from the moment they wait to be sent.
//
// What the PC writes is taken as fast as it comes (a USB adapter's queue takes it the same way);
// only the delivery is held to the line. Times are microseconds of the injected clock; without a
// rate (baud 0) every byte is through at once.

#include "platform/Clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

class PacedLine {
  public:
    PacedLine(long baud, platform::Clock& clock);

    bool paced() const { return baud_ > 0; }
    // A new rate (0: unpaced), for a line with nothing on its way.
    void setBaud(long baud)
    {
        baud_ = baud > 0 ? baud : 0;
        outputIdle_ = true;
    }
    long baud() const { return baud_; }

    // --- From the PC to the controller.
    // Bytes the PC has just written.
    void put(const char* data, size_t count);
    // Bytes put that have not been delivered yet.
    size_t queuedInput() const { return queued_; }
    // Hands every byte whose time has come to take, in order, in runs of bytes that fall due in
    // the same millisecond; ms is that millisecond, rounded up, so the controller never sees a
    // byte before the line delivered it.
    using Take = std::function<void(int64_t ms, std::string_view bytes)>;
    void deliverDue(const Take& take);
    // When the next queued byte falls due; none when nothing is queued.
    std::optional<int64_t> nextInputUs() const;

    // --- From the controller to the PC.
    // The controller has had bytes to send since sinceUs. Only a line that is not already
    // carrying output takes note; it starts at sinceUs or once its last byte is through.
    void outputWaiting(int64_t sinceUs);
    // Of the waiting bytes, how many the line has carried by now (they are counted as sent). When
    // that is all of them, or nothing waits, the line falls idle.
    size_t carryOutput(size_t waiting);
    // When the next waiting byte will be through; none while the line's output is idle.
    std::optional<int64_t> nextOutputUs() const;

  private:
    struct Run {
        int64_t startUs; // the line was free for the run's first byte from here
        std::string bytes;
        size_t delivered = 0;
    };
    // Time the line takes for count bytes, rounded up to whole microseconds.
    int64_t spanUs(uint64_t count) const;
    // How many bytes of a run that started at startUs are through by nowUs.
    uint64_t throughBy(int64_t startUs, int64_t nowUs) const;
    void beginOutput(int64_t atUs);

    long baud_;
    platform::Clock& clock_;

    std::deque<Run> input_;
    size_t queued_ = 0;
    int64_t inputFreeUs_ = INT64_MIN; // when the last byte put is through

    bool outputIdle_ = true;
    int64_t outputStartUs_ = 0;
    uint64_t outputSent_ = 0;
    int64_t outputFreeUs_ = INT64_MIN;
};

} // namespace sim
