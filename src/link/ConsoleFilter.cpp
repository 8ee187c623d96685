#include "link/ConsoleFilter.h"

#include <algorithm>

namespace comm {

namespace {

constexpr std::uint8_t kBackspace = 0x08;
constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kCarriageReturn = 0x0D;

} // namespace

ConsoleEdit ConsoleFilter::append(const std::uint8_t* bytes, std::size_t count)
{
    ConsoleEdit edit;
    if (count == 0)
        return edit;

    // Keep the pane bounded: once this chunk would reach the limit, the older half goes.
    if (text_.size() + count >= kTextLimit) {
        edit.trimmed = true;
        edit.trimmedCount = std::min(text_.size(), kTextLimit / 2);
        text_.replace(0, edit.trimmedCount, " ");
    }

    // Backspaces that open a chunk erase what is already shown, measured on the text as it is
    // now (after any trim) and never before its start. The last character shown stays after
    // the erased ones, and the chunk's text goes in their place.
    std::size_t k = 0;
    while (k < count && bytes[k] == kBackspace)
        ++k;
    const std::size_t length = text_.size();
    if (k > 0) {
        edit.replaceTo = length > 0 ? length - 1 : 0;
        edit.replaceFrom = edit.replaceTo > k ? edit.replaceTo - k : 0;
    } else {
        edit.replaceFrom = edit.replaceTo = length;
    }

    std::string& out = edit.inserted;
    out.reserve(count - k);
    for (std::size_t i = k; i < count; ++i) {
        const std::uint8_t c = bytes[i];
        const bool keep = c == kBackspace || c == kCarriageReturn || (c == kLineFeed && lastWasCR_) ||
                          (c >= 0x20 && c <= 0x7E);
        if (keep)
            out.push_back(static_cast<char>(c));
        lastWasCR_ = c == kCarriageReturn;
    }

    // A single chunk longer than half the limit could still overflow it: like a full text
    // control, the pane then keeps what fits, here the newest part of the chunk.
    const std::size_t remaining = text_.size() - (edit.replaceTo - edit.replaceFrom);
    if (remaining + out.size() > kTextLimit)
        out.erase(0, remaining + out.size() - kTextLimit);

    text_.replace(edit.replaceFrom, edit.replaceTo - edit.replaceFrom, out);
    return edit;
}

} // namespace comm
