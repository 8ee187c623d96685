#pragma once
// Turns the controller's screen painting into MotionScreen updates. Each field arrives as
// STX ESC "[row;colf" followed by its characters; every byte outside a field is console text
// that feeds the message line.

#include "motion/LinkEvent.h"
#include "motion/MotionScreen.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace motion {

class ScreenDecoder {
  public:
    static constexpr uint8_t kStx = 0x02;
    static constexpr uint8_t kEsc = 0x1B;
    static constexpr size_t kMaxHeader = 12;
    // A console line that never ends must not grow without bound; the newest text is kept so
    // that a question at its end is still seen.
    static constexpr size_t kMaxMessage = 256;
    static constexpr size_t kMaxFieldText = 80;

    ScreenDecoder(MotionScreen& screen, LinkEventHandler handler)
        : screen_(screen), handler_(std::move(handler))
    {
    }

    // Decodes a batch of received bytes. A fixed-width field whose value has not fully arrived
    // is held back and finished with the next batch; if the next batch starts a new field
    // instead, the unfinished one is dropped.
    void feed(const uint8_t* data, size_t count);
    // Forgets a held-back field (on connect and disconnect).
    void reset() { pending_.clear(); }
    size_t pendingBytes() const { return pending_.size(); }

  private:
    enum class Step { Consumed, NeedMore };
    // Decodes the field starting at data[pos] (an STX); advances pos.
    Step decodeField(const uint8_t* data, size_t count, size_t& pos);
    void takeConsoleByte(uint8_t byte);
    void raise(const LinkEvent& event);

    MotionScreen& screen_;
    LinkEventHandler handler_;
    std::string pending_;
    std::string work_;
};

} // namespace motion
