#include "posewright_core/InfoGrids.h"

#include "posewright_core/ValueText.h"

#include <cstdio>

namespace posewright {

namespace {

constexpr std::array<int, PageGrid::kRows> kCursorRows = {0, 1, -1, 4, 9, 11, 13, 14, 15};

std::string pageValueText(int index, int value)
{
    if (index != PageGrid::kAddressRow)
        return decimal(value);
    char text[16];
    std::snprintf(text, sizeof text, "0x%.8X", static_cast<unsigned>(value));
    return text;
}

} // namespace

PageGrid::PageGrid()
{
    clearValues();
}

void PageGrid::clearValues()
{
    editorOpen_ = false;
    text_[kNameRow] = " No name";
    text_[kAddressRow] = "0x000000";
    for (int r : {1, 3, 4, 5, 6, 7, 8})
        text_[static_cast<size_t>(r)] = "0";
}

int PageGrid::cursorRow(int row)
{
    if (row < 0 || row >= kRows)
        return -1;
    return kCursorRows[static_cast<size_t>(row)];
}

void PageGrid::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (!enabled)
        editorOpen_ = false;
}

int PageGrid::doubleClick(int row, int column, bool offsetPage)
{
    if (!enabled_ || column != 1 || row < 0 || row >= kRows || row == kAddressRow)
        return 0;
    if (offsetPage && row != kNumberRow)
        return 0;
    editorOpen_ = true;
    editorRow_ = row;
    editorText_ = text_[static_cast<size_t>(row)];
    ++editorWrites_;
    editedRow_ = cursorRow(row);
    return offsetPage ? 0 : GridPicked;
}

int PageGrid::nameEntered(const std::string& text)
{
    editedText_ = text;
    numeric_ = false;
    editorOpen_ = false;
    return GridEntered;
}

int PageGrid::valueEntered(const std::string& text)
{
    editedText_ = text;
    numeric_ = true;
    editorOpen_ = false;
    if (editorRow_ == kNumberRow && !parseNumberIn(text, 1, 127))
        return 0;
    return GridEntered;
}

int PageGrid::valueStepDown()
{
    if (editorRow_ == kNumberRow) {
        editorOpen_ = false;
        return value(kNumberRow) > 1 ? GridStepDown : 0;
    }
    return GridStepDown;
}

int PageGrid::valueStepUp()
{
    if (editorRow_ == kNumberRow)
        editorOpen_ = false;
    return GridStepUp;
}

void PageGrid::setName(const std::string& name)
{
    text_[kNameRow] = name;
    if (editorOpen_ && editorRow_ == kNameRow) {
        editorText_ = name;
        ++editorWrites_;
    }
}

void PageGrid::setValue(int index, int value)
{
    if (index <= kNameRow || index >= kRows)
        return;
    text_[static_cast<size_t>(index)] = pageValueText(index, value);
    if (editorOpen_ && editorRow_ == index) {
        editorText_ = text_[static_cast<size_t>(index)];
        ++editorWrites_;
    }
}

int PageGrid::value(int index) const
{
    if (index <= kNameRow || index >= kRows)
        return 0;
    const std::string& t = text_[static_cast<size_t>(index)];
    if (index == kAddressRow)
        return static_cast<int>(parseHex(t).value_or(0));
    return parseNumber(t).value_or(0);
}

PoseGrid::PoseGrid()
{
    clearValues();
}

void PoseGrid::clearValues()
{
    editorOpen_ = false;
    text_.fill("0");
}

void PoseGrid::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (!enabled)
        editorOpen_ = false;
}

int PoseGrid::doubleClick(int row, int column)
{
    if (!enabled_ || row != 1 || column < 0 || column >= kColumns)
        return 0;
    editorOpen_ = true;
    editedColumn_ = column;
    editorText_ = text_[static_cast<size_t>(column)];
    ++editorWrites_;
    return GridPicked;
}

int PoseGrid::valueEntered(const std::string& text)
{
    editedText_ = text;
    editorOpen_ = false;
    return GridEntered;
}

void PoseGrid::setValue(int column, int value)
{
    if (column < 0 || column >= kColumns)
        return;
    text_[static_cast<size_t>(column)] = decimal(value);
    if (editorOpen_ && editedColumn_ == column) {
        editorText_ = text_[static_cast<size_t>(column)];
        ++editorWrites_;
    }
}

} // namespace posewright
