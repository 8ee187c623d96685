#include "motion/ProfileText.h"

#include <climits>

namespace motion {

bool ProfileLines::next(std::string_view& line)
{
    if (pos_ >= text_.size())
        return false;
    size_t end = text_.find('\n', pos_);
    size_t stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(pos_, stop - pos_);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++lineNumber_;
    return true;
}

std::vector<std::string_view> splitProfileFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t colon = line.find(':', pos);
        size_t stop = colon == std::string_view::npos ? line.size() : colon;
        if (stop > pos)
            fields.push_back(line.substr(pos, stop - pos));
        pos = stop + 1;
    }
    return fields;
}

std::optional<int> parseProfileNumber(std::string_view field)
{
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    if (i >= field.size() || field[i] < '0' || field[i] > '9')
        return std::nullopt;
    long long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10 + (field[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace motion
