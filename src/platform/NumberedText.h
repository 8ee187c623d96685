#pragma once
// The form of every program's text table: a constant array of number and text, each number once,
// and the one lookup over it.

#include <algorithm>
#include <span>

namespace platform {

struct NumberedText {
    int number;
    const char* text;
};

// The text of `number` in `table`, exactly; "" for a number that is not in it.
inline const char* findText(std::span<const NumberedText> table, int number)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [number](const NumberedText& e) { return e.number == number; });
    return it != table.end() ? it->text : "";
}

} // namespace platform
