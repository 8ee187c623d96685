#include "termcore/ScreenText.h"

#include <algorithm>
#include <cstring>

namespace termcore {

namespace {

uint8_t lower(uint8_t b)
{
    return b >= 'A' && b <= 'Z' ? static_cast<uint8_t>(b + 32) : b;
}

// The logical cells [from, to) in lower case.
std::string folded(const TerminalScreen& screen, int from, int to)
{
    std::string out;
    const int columns = screen.columns();
    out.reserve(static_cast<size_t>(std::max(0, to - from)));
    for (int cell = from; cell < to;) {
        const int row = cell / columns;
        const int column = cell % columns;
        const int end = std::min(to, (row + 1) * columns);
        const uint8_t* data = screen.rowData(row);
        for (int c = column; c < column + (end - cell); ++c)
            out.push_back(static_cast<char>(lower(data[c])));
        cell = end;
    }
    return out;
}

std::string foldedNeedle(const std::string& needle)
{
    std::string out = needle;
    for (char& c : out)
        c = static_cast<char>(lower(static_cast<uint8_t>(c)));
    return out;
}

char shown(uint8_t b)
{
    return b < 0x20 || b > 0x7E ? ' ' : static_cast<char>(b);
}

} // namespace

bool isWordByte(uint8_t b)
{
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9'))
        return true;
    return b != 0 && std::strchr("_-./:~+@#%", b) != nullptr;
}

int64_t absoluteCell(const TerminalScreen& screen, int column, int row)
{
    return (screen.discardedRows() + row) * screen.columns() + column;
}

int logicalCell(const TerminalScreen& screen, int64_t absolute)
{
    const int64_t cell = absolute - screen.discardedRows() * screen.columns();
    if (cell < 0)
        return -1;
    return static_cast<int>(std::min<int64_t>(cell, int64_t(screen.columns()) * screen.rows() - 1));
}

std::string cellText(const TerminalScreen& screen, int64_t first, int64_t last)
{
    std::string out;
    const int columns = screen.columns();
    if (columns <= 0 || last < first)
        return out;
    // Whatever scrolled off the top is gone; copy what is left.
    int from = logicalCell(screen, first);
    const int to = logicalCell(screen, last);
    if (to < 0)
        return out;
    from = std::max(from, 0);
    for (int row = from / columns; row <= to / columns; ++row) {
        const uint8_t* data = screen.rowData(row);
        const int c0 = row == from / columns ? from % columns : 0;
        const int c1 = row == to / columns ? to % columns : columns - 1;
        std::string part;
        for (int c = c0; c <= c1; ++c)
            part.push_back(shown(data[c]));
        const bool lastRow = row == to / columns;
        const bool ranOn = c1 == columns - 1 && shown(data[columns - 1]) != ' ';
        if (!ranOn || lastRow) {
            while (!part.empty() && part.back() == ' ')
                part.pop_back();
        }
        out += part;
        if (!lastRow && !ranOn)
            out.push_back('\n');
    }
    return out;
}

void TextSelection::unitAround(const TerminalScreen& screen, int64_t cell, int64_t& from, int64_t& to) const
{
    from = to = cell;
    const int columns = screen.columns();
    if (unit_ == SelectUnit::Line) {
        const int64_t row = cell / columns;
        from = row * columns;
        to = from + columns - 1;
        return;
    }
    if (unit_ != SelectUnit::Word)
        return;
    const int here = logicalCell(screen, cell);
    if (here < 0)
        return;
    auto byteAt = [&](int logical) { return screen.cell(logical % columns, logical / columns); };
    if (!isWordByte(byteAt(here)))
        return;
    const int end = screen.usedRows() * columns;
    int a = here, b = here;
    while (a > 0 && isWordByte(byteAt(a - 1)))
        --a;
    while (b + 1 < end && isWordByte(byteAt(b + 1)))
        ++b;
    from = cell - (here - a);
    to = cell + (b - here);
}

void TextSelection::start(const TerminalScreen& screen, int column, int row, SelectUnit unit)
{
    unit_ = unit;
    anchor_ = absoluteCell(screen, std::clamp(column, 0, screen.columns() - 1), std::max(0, row));
    unitAround(screen, anchor_, first_, last_);
    active_ = unit != SelectUnit::Cell;
}

void TextSelection::extend(const TerminalScreen& screen, int column, int row)
{
    const int64_t cell = absoluteCell(screen, std::clamp(column, 0, screen.columns() - 1), std::max(0, row));
    int64_t aFrom, aTo, bFrom, bTo;
    unitAround(screen, anchor_, aFrom, aTo);
    unitAround(screen, cell, bFrom, bTo);
    first_ = std::min(aFrom, bFrom);
    last_ = std::max(aTo, bTo);
    if (unit_ == SelectUnit::Cell && cell != anchor_)
        active_ = true;
}

bool TextSelection::contains(const TerminalScreen& screen, int column, int row) const
{
    if (!active_)
        return false;
    const int64_t cell = absoluteCell(screen, column, row);
    return cell >= first_ && cell <= last_;
}

std::string TextSelection::text(const TerminalScreen& screen) const
{
    return active_ ? cellText(screen, first_, last_) : std::string();
}

std::optional<TextMatch> ScreenSearch::find(const TerminalScreen& screen, const std::string& needle,
                                            int64_t from, bool forward)
{
    if (needle.empty() || !screen.initialised())
        return std::nullopt;
    const std::string text = folded(screen, 0, screen.usedRows() * screen.columns());
    const std::string key = foldedNeedle(needle);
    const int64_t base = screen.discardedRows() * screen.columns();
    const int64_t here = from < 0 ? -1 : from - base; // may lie above the top now
    std::vector<size_t> hits;
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
        hits.push_back(at);
    if (hits.empty())
        return std::nullopt;
    size_t pick;
    if (forward) {
        auto it = std::upper_bound(hits.begin(), hits.end(), here,
                                   [](int64_t v, size_t h) { return v < static_cast<int64_t>(h); });
        pick = it == hits.end() ? hits.front() : *it;
    } else {
        auto it = std::lower_bound(hits.begin(), hits.end(), from < 0 ? INT64_MAX : here,
                                   [](size_t h, int64_t v) { return static_cast<int64_t>(h) < v; });
        pick = it == hits.begin() ? hits.back() : *(it - 1);
    }
    return TextMatch{base + static_cast<int64_t>(pick), static_cast<int>(key.size())};
}

std::vector<TextMatch> ScreenSearch::matchesInRows(const TerminalScreen& screen, const std::string& needle,
                                                   int firstRow, int lastRow)
{
    std::vector<TextMatch> out;
    if (needle.empty() || !screen.initialised())
        return out;
    const int columns = screen.columns();
    const int key = static_cast<int>(needle.size());
    // A match that touches the rows may start up to key - 1 cells before them.
    const int from = std::max(0, std::max(0, firstRow) * columns - (key - 1));
    const int to = std::min(screen.usedRows(), lastRow + 1) * columns + (key - 1);
    const int end = std::min(to, screen.usedRows() * columns);
    if (end <= from)
        return out;
    const std::string text = folded(screen, from, end);
    const std::string k = foldedNeedle(needle);
    const int64_t base = screen.discardedRows() * columns + from;
    for (size_t at = text.find(k); at != std::string::npos; at = text.find(k, at + 1)) {
        const int start = from + static_cast<int>(at);
        if (start + key - 1 < firstRow * columns || start > (lastRow + 1) * columns - 1)
            continue;
        out.push_back({base + static_cast<int64_t>(at), key});
    }
    return out;
}

} // namespace termcore
