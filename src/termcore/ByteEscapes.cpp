#include "termcore/ByteEscapes.h"

#include "termcore/HexConverter.h"

#include <cstdio>

namespace termcore {

namespace {
// The one-letter escapes, both ways.
struct Letter {
    char letter;
    char byte;
};
constexpr Letter kLetters[] = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'e', '\x1b'}, {'\\', '\\'}};
} // namespace

std::string ByteEscapes::decode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        bool known = false;
        for (const Letter& l : kLetters)
            if (c == l.letter) {
                out.push_back(l.byte);
                known = true;
            }
        if (known)
            continue;
        if (c == 'x' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back('\\'); // not an escape: stands for itself
            out.push_back(c);
        }
    }
    return out;
}

std::string ByteEscapes::encode(const std::string& bytes)
{
    std::string out;
    for (const char ch : bytes) {
        const Letter* letter = nullptr;
        for (const Letter& l : kLetters)
            if (ch == l.byte)
                letter = &l;
        const auto b = static_cast<unsigned char>(ch);
        if (letter) {
            out.push_back('\\');
            out.push_back(letter->letter);
        } else if (b >= 0x20 && b < 0x7f) {
            out.push_back(ch);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

} // namespace termcore
