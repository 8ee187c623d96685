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

std::optional<LineSpan> UndoHistory::record(const BehaviorProgram& program)
{
    const int oldCount = static_cast<int>(lines_.size()), newCount = program.count();
    const int shorter = std::min(oldCount, newCount);
    int head = 0;
    while (head < shorter && sameIgnoringSelection(lines_[static_cast<size_t>(head)], program.line(head)))
        ++head;
    int tail = 0;
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

    lines_.erase(lines_.begin() + head, lines_.begin() + (oldCount - tail));
    lines_.insert(lines_.begin() + head, step.after.begin(), step.after.end());
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
    lines_.erase(lines_.begin() + first, lines_.begin() + first + static_cast<std::ptrdiff_t>(out.size()));
    lines_.insert(lines_.begin() + first, in.begin(), in.end());
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
