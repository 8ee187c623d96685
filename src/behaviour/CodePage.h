#pragma once
// The 8-bit code page of the texts a program file holds (Windows-1252), to and from UTF-8. Every
// byte has a character (the five bytes Windows-1252 leaves unassigned stand for the C1 controls
// of the same number), so a file's bytes survive being shown and typed back. A character the code
// page has no byte for is refused, never replaced: two different names must not become one.

#include <optional>
#include <string>
#include <string_view>

namespace behaviour {

std::string codePageToUtf8(std::string_view bytes);

struct CodePageResult {
    std::optional<std::string> bytes; // empty when some character has no byte
    std::string refused;              // the characters without a byte, in UTF-8, each once
};
// Malformed UTF-8 is refused as U+FFFD.
CodePageResult utf8ToCodePage(std::string_view utf8);

} // namespace behaviour
