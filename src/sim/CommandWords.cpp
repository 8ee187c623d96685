#include "sim/CommandWords.h"

#include <algorithm>
#include <cctype>

namespace sim {

std::vector<std::string> splitWords(std::string_view line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

std::string lowerCase(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseUnsigned(const std::string& text, int base, uint64_t& value)
{
    if (text.empty() || text.size() > 8)
        return false;
    uint64_t v = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    value = v;
    return true;
}

bool onlyProbeBytes(const std::string& line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == '*' || c == '#' || c == ' '; });
}

} // namespace sim
