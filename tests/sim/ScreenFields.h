#pragma once
// A deliberately simple reader of the controller's screen painting for tests: it splits the
// bytes at each STX and keeps, per (row, column), the text that followed the last header
// there up to the next STX. Because the controller sends each field whole and directly
// followed by the next header, a field's text is exactly its painted value.

#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace simtest {

struct ScreenFields {
    std::map<std::pair<int, int>, std::string> fields;
    int headers = 0;
    int fullRepaints = 0; // headers at row 1, column 1
    std::string outside;  // bytes before the first header

    bool has(int row, int column) const { return fields.count({row, column}) != 0; }
    std::string at(int row, int column) const
    {
        auto it = fields.find({row, column});
        return it == fields.end() ? std::string("<missing>") : it->second;
    }
};

inline ScreenFields parseScreen(const std::string& bytes)
{
    ScreenFields screen;
    size_t pos = bytes.find('\x02');
    screen.outside = bytes.substr(0, pos);
    while (pos != std::string::npos) {
        size_t next = bytes.find('\x02', pos + 1);
        std::string segment =
            bytes.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
        pos = next;
        int row = 0;
        int column = 0;
        size_t f = segment.find('f');
        if (segment.size() < 2 || segment[0] != '\x1b' || segment[1] != '[' || f == std::string::npos ||
            std::sscanf(segment.c_str() + 2, "%d;%d", &row, &column) != 2)
            continue;
        ++screen.headers;
        if (row == 1 && column == 1)
            ++screen.fullRepaints;
        std::string text = segment.substr(f + 1);
        // Labels end with the carriage return that keeps them off a reader's message line.
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        screen.fields[{row, column}] = text;
    }
    return screen;
}

} // namespace simtest
