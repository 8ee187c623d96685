#include "programmer/UndoHistory.h"

#include <algorithm>

namespace programmer {

using behaviour::BehaviorProgram;
using behaviour::ProgramLine;

namespace {

constexpr uint16_t NotSelected = static_cast<uint16_t>(~behaviour::LineFlag::Selected);

bool sameIgnoringSelection(const ProgramLine& a, const ProgramLine& b)
{
    return (a.flags & NotSelected) == (b.flags & NotSelected) && a.cells == b.cells &&
           a.separators == b.separators && a.label == b.label && a.comment == b.comment;
}

ProgramLine unselected(const ProgramLine& line)
{
    ProgramLine copy = line;
    copy.flags &= NotSelected;
    return copy;
}

} // namespace

void UndoHistory::replaceRun(int first, size_t n, const std::vector<ProgramLine>& with)
{
    const auto at = lines_.begin() + first;
    if (n == with.size()) { // a run of edited lines: no line behind it moves
        std::copy(with.begin(), with.end(), at);
        return;
    }
    lines_.erase(at, at + static_cast<std::ptrdiff_t>(n));
    lines_.insert(lines_.begin() + first, with.begin(), with.end());
}

void UndoHistory::reset(const BehaviorProgram& program)
{
    steps_.clear();
    done_ = 0;
    rebase(program);
}

void UndoHistory::rebase(const BehaviorProgram& program)
{
    lines_.clear();
    lines_.reserve(static_cast<size_t>(program.count()));
    for (int i = 0; i < program.count(); ++i)
        lines_.push_back(unselected(program.line(i)));
    state_ = {program.curLine(), program.curCell()};
}

std::optional<LineSpan> UndoHistory::record(const BehaviorProgram& program, int first, int last)
{
    const int oldCount = static_cast<int>(lines_.size()), newCount = program.count();
    const int shorter = std::min(oldCount, newCount);
    const bool hinted = first >= 0 && last >= first && last < newCount && oldCount == newCount;
    int head = hinted ? first : 0;
    const int headLimit = hinted ? last + 1 : shorter;
    while (head < headLimit && sameIgnoringSelection(lines_[static_cast<size_t>(head)], program.line(head)))
        ++head;
    if (hinted && head == headLimit)
        head = shorter; // none of the named lines changed
    int tail = hinted ? std::max(0, std::min(newCount - 1 - last, shorter - head)) : 0;
    while (tail < shorter - head && sameIgnoringSelection(lines_[static_cast<size_t>(oldCount - 1 - tail)],
                                                          program.line(newCount - 1 - tail)))
        ++tail;
    const State now{program.curLine(), program.curCell()};
    if (head == shorter && oldCount == newCount && now.curLine == state_.curLine &&
        now.curCell == state_.curCell)
        return std::nullopt;

    Step step;
    step.first = head;
    step.before.assign(lines_.begin() + head, lines_.begin() + (oldCount - tail));
    for (int i = head; i < newCount - tail; ++i)
        step.after.push_back(unselected(program.line(i)));
    step.stateBefore = state_;
    step.stateAfter = now;

    replaceRun(head, step.before.size(), step.after);
    state_ = now;

    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    steps_.push_back(std::move(step));
    if (steps_.size() > depth_)
        steps_.pop_front();
    done_ = steps_.size();
    return LineSpan{head, newCount - tail - head, oldCount, newCount};
}

std::optional<LineSpan> UndoHistory::apply(BehaviorProgram& program, const std::vector<ProgramLine>& out,
                                           const std::vector<ProgramLine>& in, int first, State state)
{
    const int oldCount = static_cast<int>(lines_.size());
    replaceRun(first, out.size(), in);
    state_ = state;
    std::vector<ProgramLine> copy = lines_;
    program.assign(std::move(copy), state.curLine, state.curCell);
    return LineSpan{first, static_cast<int>(in.size()), oldCount, static_cast<int>(lines_.size())};
}

std::optional<LineSpan> UndoHistory::undo(BehaviorProgram& program)
{
    if (!canUndo())
        return std::nullopt;
    const Step& s = steps_[--done_];
    return apply(program, s.after, s.before, s.first, s.stateBefore);
}

std::optional<LineSpan> UndoHistory::redo(BehaviorProgram& program)
{
    if (!canRedo())
        return std::nullopt;
    const Step& s = steps_[done_++];
    return apply(program, s.before, s.after, s.first, s.stateAfter);
}

} // namespace programmer
