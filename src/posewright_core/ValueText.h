#pragma once
// Numbers typed into the editor's edits and grid cells. Every field the controller shows is a
// small non-negative number, so a number that does not fit an int is out of range: it is
// refused, never wrapped back into range.

#include <optional>
#include <string>
#include <string_view>

namespace posewright {

// Decimal digits, optionally surrounded by blanks, to a number; nullopt for an empty text,
// anything but digits, or a value above INT_MAX.
std::optional<int> parseNumber(std::string_view text);
// The same, but also nullopt outside [low, high].
std::optional<int> parseNumberIn(std::string_view text, int low, int high);
// "0x%X" (or bare hexadecimal digits) to a number; nullopt when it does not fit 32 bits.
std::optional<unsigned> parseHex(std::string_view text);

// printf's "%.4d" and "%d" without a format string.
std::string zeroPadded4(int value);
std::string decimal(int value);

} // namespace posewright
