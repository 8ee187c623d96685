#include "termcore/ByteEscapes.h"

#include <cstdio>

namespace termcore {

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
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
        switch (c) {
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'e':
            out.push_back('\x1b');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'x':
            if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
                out.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out.push_back('\\');
            out.push_back(c);
            break;
        }
    }
    return out;
}

std::string ByteEscapes::encode(const std::string& bytes)
{
    std::string out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case 0x1b:
            out += "\\e";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (b >= 0x20 && b < 0x7f) {
                out.push_back(ch);
            } else {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                out += hex;
            }
        }
    }
    return out;
}

} // namespace termcore
