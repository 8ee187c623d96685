#pragma once
// Text taken from the scroll-back: the mouse selection (cells, words, lines), the text it
// copies, and search. Positions are absolute cells, (discarded rows + row) x columns + column,
// so a selection or a match stays on its text while the scroll-back drops its oldest rows.

#include "termcore/TerminalScreen.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace termcore {

// Bytes that belong to a word for a double-click: letters, digits and the characters that
// hold paths, numbers and addresses together.
bool isWordByte(uint8_t byte);

// Absolute cell <-> logical cell on the screen now (-1 when it has scrolled off the top).
int64_t absoluteCell(const TerminalScreen& screen, int column, int row);
int logicalCell(const TerminalScreen& screen, int64_t absolute);

// The cells from first to last (absolute, inclusive) as text: rows end in "\n" with their
// trailing blanks dropped, except a row filled to its last column, which ran on into the next.
// Control codes and bytes above 0x7E (only kept from unfinished escape sequences) read as spaces.
std::string cellText(const TerminalScreen& screen, int64_t first, int64_t last);

enum class SelectUnit { Cell, Word, Line };

class TextSelection {
  public:
    // A press: Cell for a single click (nothing is selected until the mouse moves to another
    // cell), Word for a double click, Line for a triple click.
    void start(const TerminalScreen& screen, int column, int row, SelectUnit unit);
    // The mouse moved to (column, row) with the button held.
    void extend(const TerminalScreen& screen, int column, int row);
    void clear() { active_ = false; }

    bool empty() const { return !active_; }
    // Absolute cells, inclusive; meaningful only when not empty.
    int64_t first() const { return first_; }
    int64_t last() const { return last_; }
    // True when the cell at (column, row) on the screen now is selected.
    bool contains(const TerminalScreen& screen, int column, int row) const;
    std::string text(const TerminalScreen& screen) const;

  private:
    // The unit around a cell: [from, to] absolute.
    void unitAround(const TerminalScreen& screen, int64_t cell, int64_t& from, int64_t& to) const;

    SelectUnit unit_ = SelectUnit::Cell;
    int64_t anchor_ = 0;
    int64_t first_ = 0, last_ = 0;
    bool active_ = false;
};

struct TextMatch {
    int64_t start = 0; // absolute cell
    int length = 0;
    bool operator==(const TextMatch&) const = default;
};

// Search of the used part of the scroll-back, ASCII case-insensitive. Matches may run on from
// one row into the next, as wrapped text does.
class ScreenSearch {
  public:
    // The next match after `from` (forward) or before it (backward), wrapping round the ends;
    // from = -1 forward starts at the top, backward at the bottom. Nothing for an empty needle.
    static std::optional<TextMatch> find(const TerminalScreen& screen, const std::string& needle,
                                         int64_t from, bool forward);
    // Every match that touches logical rows firstRow..lastRow, in order.
    static std::vector<TextMatch> matchesInRows(const TerminalScreen& screen, const std::string& needle,
                                                int firstRow, int lastRow);
};

} // namespace termcore
