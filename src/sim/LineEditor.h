#pragma once
// Line editing as the controller's console and boot loader do it: printable bytes are echoed
// and kept up to kLength, backspace erases, Enter hands the line over. The boot loader echoes
// what no longer fits; the console does not.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

class LineEditor {
  public:
    enum class EchoPastEnd { No, Yes };
    static constexpr size_t kLength = 80;

    LineEditor(std::string& out, EchoPastEnd echoPastEnd) : out_(out), echoPastEnd_(echoPastEnd) {}

    // True when the byte was Enter: the line is in `finished` and editing starts afresh.
    bool edit(uint8_t byte, std::string& finished);
    void clear() { line_.clear(); }

  private:
    std::string& out_;
    EchoPastEnd echoPastEnd_;
    std::string line_;
};

} // namespace sim
