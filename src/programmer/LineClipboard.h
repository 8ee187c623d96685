#pragma once
// The clipboard as the editor uses it for "Linecraft" blocks, so tests can make it fail.

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace programmer {

inline constexpr const char* LinecraftMime = "application/x-linecraft";

class LineClipboard {
  public:
    virtual ~LineClipboard() = default;
    // Puts a block on the clipboard; true only when the clipboard holds it afterwards.
    virtual bool putBlock(const std::vector<uint8_t>& block) = 0;
    // The block on the clipboard, if it holds one.
    virtual std::optional<std::vector<uint8_t>> block() const = 0;
    bool hasBlock() const { return block().has_value(); }
};

// The desktop clipboard (shared with other programs, and so with other taskloom processes).
class SystemClipboard : public LineClipboard {
  public:
    bool putBlock(const std::vector<uint8_t>& block) override;
    std::optional<std::vector<uint8_t>> block() const override;
};

} // namespace programmer
