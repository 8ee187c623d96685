#pragma once
// Where things are in the program grid: two rows per line, 20 columns. Row 2L holds the line
// number (merged down over both rows), the label (columns 1..10) and the comment (11..19);
// row 2L + 1 holds cell i in column 2i + 1 and separator i in column 2i + 2.

namespace programmer {

inline constexpr int GridColumns = 20;
inline constexpr int LabelFirstColumn = 1;
inline constexpr int CommentFirstColumn = 11;
inline constexpr int NumberColumnWidth = 30;
inline constexpr int CellColumnWidth = 90;
inline constexpr int SeparatorColumnWidth = 15;
inline constexpr int TextRowHeight = 20;
inline constexpr int CellRowHeight = 40;
inline constexpr int LabelTextOffset = 46;   // the text box's start inside the label area
inline constexpr int CommentTextOffset = 70; // ... and inside the comment area

struct GridTarget {
    enum class Kind { None, LineNumber, Label, Comment, Cell, Separator };
    Kind kind = Kind::None;
    int line = -1;
    int index = -1; // cell 0..9 or separator 0..8
    bool operator==(const GridTarget&) const = default;
};

// The target of a grid position; None outside lines 0..lineCount-1 and columns 0..19.
GridTarget targetAt(int row, int column, int lineCount);

// The grid position that shows a target (its top-left cell for merged areas).
int rowOf(const GridTarget& t);
int columnOf(const GridTarget& t);

int columnWidth(int column);

} // namespace programmer
