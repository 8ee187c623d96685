#include "behaviour/BehaviorProgram.h"

#include "behaviour/ProgramFile.h"
#include "behaviour/ProgramMessages.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <algorithm>

namespace behaviour {

BehaviorProgram::BehaviorProgram() : lines_(Capacity), order_(Capacity)
{
    for (size_t i = 0; i < order_.size(); ++i)
        order_[i] = static_cast<uint16_t>(i);
}

bool BehaviorProgram::ask(int messageId) const
{
    return confirm_ ? confirm_(std::string(taskloom::text(messageId))) : false;
}

void BehaviorProgram::clearSelectedFlags()
{
    for (auto& l : lines_)
        l.flags &= static_cast<uint16_t>(~LineFlag::Selected);
}

LineChange BehaviorProgram::insertLines(int first, int n)
{
    first = std::clamp(first, 0, count_);
    n = std::clamp(n, 0, Capacity - first);
    if (n == 0)
        return {true, 0};

    const int added = std::min(n, Capacity - count_);
    count_ += added;
    if (added < n) {
        // The array is full: lines fall off the end; ask when any of them was edited.
        int blank = 0;
        for (int i = count_ - 1; i >= 0 && i >= count_ - n; --i)
            if (!line(i).edited())
                ++blank;
        if (blank < n && !ask(Msg::DeleteEdited))
            return {false, 0}; // count keeps its increase, as before
    }
    // Lines first .. count-1-n move down by n; the last n lines (blank, or confirmed) are lost and
    // come round to first .. first+n-1, which are reset.
    auto begin = order_.begin();
    std::rotate(begin + first, begin + (count_ - n), begin + count_);
    for (int i = first; i < first + n; ++i)
        line(i).reset();

    if (selFirst_ >= first && selFirst_ >= 0 && selLast_ <= first + n) {
        selFirst_ = std::min(selFirst_ + n, count_ - 1);
        selLast_ = std::min(selLast_ + n, count_ - 1);
        for (int i = selFirst_; i <= selLast_; ++i)
            line(i).flags |= LineFlag::Selected;
    } else {
        clearSelectedFlags();
        selFirst_ = selLast_ = -1;
    }
    if (curLine_ >= first) {
        if (curLine_ + n > count_ - 1)
            curLine_ = curCell_ = -1;
        else
            curLine_ += n;
    }
    return {true, added};
}

LineChange BehaviorProgram::deleteLines(int first, int n)
{
    // Only the part of first .. first + n - 1 that lies inside the program is deleted.
    const long long end = std::min<long long>(static_cast<long long>(first) + std::max(n, 0), count_);
    first = std::clamp(first, 0, count_);
    n = static_cast<int>(std::max<long long>(end - first, 0));
    for (int i = first; i < first + n; ++i) {
        if (line(i).edited()) {
            if (!ask(Msg::DeleteEdited))
                return {false, 0};
            break;
        }
    }
    removeRange(first, n);
    const int removed = count_ <= MinimumCount ? 0 : std::min(count_ - MinimumCount, n);
    count_ -= removed;

    clearSelectedFlags();
    selFirst_ = selLast_ = -1;
    if (curLine_ >= first && curLine_ < first + n)
        curLine_ = curCell_ = -1;
    else if (curLine_ >= first + n)
        curLine_ -= n;
    return {true, removed};
}

void BehaviorProgram::removeRange(int first, int n)
{
    // The removed lines go round to the end of the program and are reset there.
    auto begin = order_.begin();
    std::rotate(begin + first, begin + first + n, begin + count_);
    for (int i = count_ - n; i < count_; ++i)
        line(i).reset();
}

std::vector<uint8_t> BehaviorProgram::copySelection() const
{
    if (selFirst_ < 0)
        return {};
    std::vector<const ProgramLine*> selected;
    for (int i = selFirst_; i <= selLast_; ++i)
        selected.push_back(&line(i));
    return writeLineBlock(selected);
}

CutResult BehaviorProgram::cutSelection()
{
    CutResult result;
    if (selFirst_ < 0)
        return result;
    result.block = copySelection();
    const int first = selFirst_, n = std::min(selectionSize(), count_ - first);
    removeRange(first, n);
    result.removed = count_ <= MinimumCount ? 0 : std::min(count_ - MinimumCount, n);
    count_ -= result.removed;
    clearSelectedFlags();
    selFirst_ = selLast_ = -1;
    if (curLine_ >= first + n)
        curLine_ -= n;
    // A current cell inside the cut block keeps its indexes, but never one past the program.
    if (curLine_ >= count_)
        curLine_ = curCell_ = -1;
    return result;
}

bool BehaviorProgram::pasteBlock(const std::vector<uint8_t>& block)
{
    if (selFirst_ < 0)
        return false;
    std::vector<ProgramLine> pasted;
    if (!readLineBlock(block, Capacity, pasted))
        return false; // malformed: nothing is changed
    const int m = static_cast<int>(pasted.size());
    const int at = selFirst_; // the delete below clears the selection
    if (!deleteLines(at, selectionSize()).ok)
        return false;
    if (!insertLines(at, m).ok)
        return false;
    // Only what fits between the paste point and the last slot is written.
    const int fit = std::min(m, count_ - at);
    for (int i = 0; i < fit; ++i) {
        ProgramLine& l = line(at + i);
        l = std::move(pasted[static_cast<size_t>(i)]);
        l.flags &= static_cast<uint16_t>(~(LineFlag::Selected | LineFlag::Current));
    }
    if (fit > 0) {
        selFirst_ = at;
        selLast_ = at + fit - 1;
    } else {
        selFirst_ = selLast_ = -1;
    }
    return true;
}

void BehaviorProgram::toggleEnabled(int first, int last)
{
    if (first > last)
        std::swap(first, last);
    first = std::max(first, 0);
    last = std::min(last, count_ - 1);
    for (int i = first; i <= last; ++i)
        line(i).flags ^= LineFlag::Disabled;
}

bool BehaviorProgram::moveSelection(int delta)
{
    if (selFirst_ < 0 || (delta != -1 && delta != 1))
        return false;
    const int passed = delta < 0 ? selFirst_ - 1 : selLast_ + 1;
    if (passed < 0 || passed >= count_)
        return false;
    const auto b = order_.begin();
    if (delta < 0)
        std::rotate(b + passed, b + selFirst_, b + selLast_ + 1);
    else
        std::rotate(b + selFirst_, b + passed, b + passed + 1);
    if (curLine_ >= selFirst_ && curLine_ <= selLast_)
        curLine_ += delta;
    else if (curLine_ == passed)
        curLine_ = delta < 0 ? selLast_ : selFirst_;
    selFirst_ += delta;
    selLast_ += delta;
    return true;
}

void BehaviorProgram::selectOne(int l)
{
    if (l < 0 || l >= count_)
        return;
    clearSelection();
    selFirst_ = selLast_ = l;
    line(l).flags |= LineFlag::Selected;
}

void BehaviorProgram::extendSelection(int l)
{
    if (l < 0 || l >= count_)
        return;
    if (selFirst_ < 0)
        selFirst_ = 0;
    selLast_ = l;
    if (selLast_ < selFirst_)
        std::swap(selFirst_, selLast_);
    for (int i = selFirst_; i <= selLast_; ++i)
        line(i).flags |= LineFlag::Selected;
}

void BehaviorProgram::clearSelection()
{
    if (selFirst_ >= 0)
        for (int i = selFirst_; i <= selLast_ && i < count_; ++i)
            line(i).flags &= static_cast<uint16_t>(~LineFlag::Selected);
    selFirst_ = selLast_ = -1;
}

void BehaviorProgram::setCurrent(int l, int c)
{
    if (curLine_ >= 0 && curLine_ < Capacity)
        line(curLine_).flags &= static_cast<uint16_t>(~LineFlag::Current);
    if (l < 0 || l >= count_ || c < 0 || c >= CellsPerLine) {
        curLine_ = curCell_ = -1;
        return;
    }
    curLine_ = l;
    curCell_ = c;
    line(l).flags |= LineFlag::Edited | LineFlag::Current;
}

void BehaviorProgram::assign(std::vector<ProgramLine>&& lines, int curLine, int curCell)
{
    const int n = std::min(static_cast<int>(lines.size()), Capacity);
    for (int i = 0; i < n; ++i)
        line(i) = std::move(lines[static_cast<size_t>(i)]);
    finishLoad(n, curLine, curCell);
}

void BehaviorProgram::finishLoad(int n, int curLine, int curCell)
{
    n = std::clamp(n, 0, Capacity);
    for (int i = n; i < count_; ++i) // slots from count_ on are blank already
        line(i).reset();
    for (int i = 0; i < n; ++i)
        line(i).flags &= static_cast<uint16_t>(~LineFlag::Selected);
    count_ = n;
    selFirst_ = selLast_ = -1;
    if (curLine < 0 || curLine >= n || curCell < 0 || curCell >= CellsPerLine)
        curLine = curCell = -1;
    curLine_ = curLine;
    curCell_ = curCell;
    nameTable.clear();
    labelTable.clear();
    lineTable.clear();
    image.length = 0;
}

} // namespace behaviour
