#include "posewright_core/ValueText.h"

#include <climits>
#include <cstdio>

namespace posewright {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<int> parseNumber(std::string_view text)
{
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<int> parseNumberIn(std::string_view text, int low, int high)
{
    auto v = parseNumber(text);
    if (!v || *v < low || *v > high)
        return std::nullopt;
    return v;
}

std::optional<unsigned> parseHex(std::string_view text)
{
    text = trimmed(text);
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
        if (value > UINT_MAX)
            return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

std::string zeroPadded4(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.4d", value);
    return text;
}

std::string decimal(int value)
{
    return std::to_string(value);
}

} // namespace posewright
