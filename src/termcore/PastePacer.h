#pragma once
// Pasted text goes to the port at a pace the controller's console keeps up with: short chunks
// with a pause between them, and a longer pause after each line so the console can run the
// command before the next one arrives.

#include <cstddef>
#include <cstdint>
#include <string>

namespace termcore {

class PastePacer {
  public:
    static constexpr size_t kChunkBytes = 16;
    static constexpr int64_t kChunkGapMs = 20;
    static constexpr int64_t kLineGapMs = 150;

    // Text as the console wants it: line ends (CR LF, LF, CR) become one CR; tabs stay; other
    // control codes are dropped, so a paste never sends ESC or a Ctrl key by accident.
    static std::string consoleBytes(const std::string& text);

    // Starts pacing bytes (already in console form), the first chunk due at once.
    void start(std::string bytes, int64_t nowMs);
    void cancel();
    bool active() const { return sent_ < bytes_.size(); }
    size_t sent() const { return sent_; }
    size_t total() const { return bytes_.size(); }
    // The time the next chunk is due.
    int64_t dueMs() const { return dueMs_; }

    // The chunk to write now, or empty when none is due yet (or all went out). A chunk ends
    // after a CR.
    std::string next(int64_t nowMs);

  private:
    std::string bytes_;
    size_t sent_ = 0;
    int64_t dueMs_ = 0;
};

} // namespace termcore
