#pragma once
// The text model behind every transfer dialog's console pane: what the controller sends is
// filtered to printable ASCII plus BS, CR and LF-after-CR, leading backspaces erase text already
// shown, and the text never grows past 1,000,000 characters (the older half is dropped first).
// The pane only displays text() or applies the returned ConsoleEdit to its own document.

#include <cstddef>
#include <cstdint>
#include <string>

namespace comm {

// One append, as edits in order: first, when `trimmed`, the front [0, trimmedCount) was replaced
// by a single space; then [replaceFrom, replaceTo) was replaced by `inserted`. Positions of the
// second edit are in the text after the first.
struct ConsoleEdit {
    bool trimmed = false;
    std::size_t trimmedCount = 0;
    std::size_t replaceFrom = 0;
    std::size_t replaceTo = 0;
    std::string inserted;
};

class ConsoleFilter {
  public:
    static constexpr std::size_t kTextLimit = 1000000;

    // Filters count bytes from the port and applies them to the text. Nothing happens for 0.
    ConsoleEdit append(const std::uint8_t* bytes, std::size_t count);
    ConsoleEdit append(const std::string& bytes)
    {
        return append(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

    // The pane's cleared state is a single space (and a CR LF split across a clear still pairs).
    void clear() { text_ = " "; }

    const std::string& text() const { return text_; }
    bool lastWasCR() const { return lastWasCR_; }

  private:
    std::string text_;
    bool lastWasCR_ = false;
};

} // namespace comm
