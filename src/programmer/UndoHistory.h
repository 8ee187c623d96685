#pragma once
// Undo and redo for one program: the lines as they were after the last recorded change, and per
// step only the run of lines that differed (the common head and tail are shared), so a cell edit
// in a 1000-line program costs one line record, not a copy of the program. The selection is not
// part of a step; everything the file holds is, so an undo gives back the same file bytes.

#include "behaviour/BehaviorProgram.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace programmer {

// Lines first .. first + newLines - 1 of the program are new; the count went from oldCount to
// newCount.
struct LineSpan {
    int first = 0;
    int newLines = 0;
    int oldCount = 0;
    int newCount = 0;
};

class UndoHistory {
  public:
    static constexpr size_t DefaultDepth = 500;
    explicit UndoHistory(size_t depth = DefaultDepth) : depth_(depth) {}

    // Forgets every step; the program as it is now is the starting point.
    void reset(const behaviour::BehaviorProgram& program);
    // Takes the program as it is now without a step (changes that are not undone, such as
    // error marks). The line count must not have changed since the last step.
    void rebase(const behaviour::BehaviorProgram& program);
    // Records the difference to the last state as one step (and drops the redo steps); nothing
    // when the program did not change. A caller that knows that only lines first..last can have
    // changed (and not the count) says so, and only those are compared.
    std::optional<LineSpan> record(const behaviour::BehaviorProgram& program, int first = -1, int last = -1);

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    size_t depth() const { return depth_; }
    size_t steps() const { return steps_.size(); }
    // Puts the program back one step (or forward again); the selection is cleared.
    std::optional<LineSpan> undo(behaviour::BehaviorProgram& program);
    std::optional<LineSpan> redo(behaviour::BehaviorProgram& program);

  private:
    struct State {
        int curLine = -1;
        int curCell = -1;
    };
    struct Step {
        int first = 0;
        std::vector<behaviour::ProgramLine> before, after;
        State stateBefore, stateAfter;
    };
    std::optional<LineSpan> apply(behaviour::BehaviorProgram& program,
                                  const std::vector<behaviour::ProgramLine>& out,
                                  const std::vector<behaviour::ProgramLine>& in, int first, State state);

    // Lines first .. first + n - 1 of the kept state become `with`.
    void replaceRun(int first, size_t n, const std::vector<behaviour::ProgramLine>& with);

    size_t depth_;
    std::vector<behaviour::ProgramLine> lines_; // lines 0..count-1, selected flag cleared
    State state_;
    std::deque<Step> steps_;
    size_t done_ = 0; // steps_[0 .. done_-1] are applied
};

} // namespace programmer
