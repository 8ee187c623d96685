#include "programmer/GridLayout.h"

namespace programmer {

GridTarget targetAt(int row, int column, int lineCount)
{
    if (row < 0 || column < 0 || column >= GridColumns || row / 2 >= lineCount)
        return {};
    const int line = row / 2;
    if (column == 0)
        return {GridTarget::Kind::LineNumber, line, -1};
    if (row % 2 == 0)
        return {column < CommentFirstColumn ? GridTarget::Kind::Label : GridTarget::Kind::Comment, line, -1};
    if (column % 2 == 1)
        return {GridTarget::Kind::Cell, line, column / 2};
    return {GridTarget::Kind::Separator, line, column / 2 - 1};
}

int rowOf(const GridTarget& t)
{
    const bool lower = t.kind == GridTarget::Kind::Cell || t.kind == GridTarget::Kind::Separator;
    return 2 * t.line + (lower ? 1 : 0);
}

int columnOf(const GridTarget& t)
{
    switch (t.kind) {
    case GridTarget::Kind::Label:
        return LabelFirstColumn;
    case GridTarget::Kind::Comment:
        return CommentFirstColumn;
    case GridTarget::Kind::Cell:
        return 2 * t.index + 1;
    case GridTarget::Kind::Separator:
        return 2 * t.index + 2;
    default:
        return 0;
    }
}

int columnWidth(int column)
{
    if (column == 0)
        return NumberColumnWidth;
    return column % 2 == 1 ? CellColumnWidth : SeparatorColumnWidth;
}

} // namespace programmer
