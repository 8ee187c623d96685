#pragma once
// Bytes written as text, the way --send and the send strings take them: \r, \n, \t, \e (ESC),
// \xNN (two hex digits) and \\ (one backslash); any other backslash stands for itself.

#include <string>

namespace termcore {

struct ByteEscapes {
    static std::string decode(const std::string& text);
    // The text that decodes to bytes again: printable ASCII as it is, the rest escaped.
    static std::string encode(const std::string& bytes);
};

} // namespace termcore
