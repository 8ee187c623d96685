#pragma once
// A behaviour program as a document holds it: 1000 line slots of which `count` are shown and
// saved, the selection, the current cell, and the tables and image of the last check. Every
// operation keeps line indexes inside 0..count-1 and the slots from count on blank.
//
// Failure in this library: an operation that can be refused returns a result struct saying
// whether it succeeded (ok), why (an error code or message number) and the message to show.

#include "behaviour/ProgramLine.h"
#include "behaviour/ProgramTables.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace behaviour {

// Asked before edited lines are deleted or pushed off the end; true = OK, false = Cancel.
using ConfirmFunction = std::function<bool(const std::string& question)>;

struct LineChange {
    bool ok = false;
    int lines = 0; // added or removed
};

struct CutResult {
    std::vector<uint8_t> block; // empty when nothing was selected
    int removed = 0;
};

class BehaviorProgram {
  public:
    static constexpr int Capacity = 1000;
    static constexpr int MinimumCount = 100; // a new program's size; deletion never goes below it

    BehaviorProgram();

    // Without a confirm function every question is answered Cancel, so nothing edited is lost.
    void setConfirm(ConfirmFunction confirm) { confirm_ = std::move(confirm); }

    int capacity() const { return Capacity; }
    int count() const { return count_; }
    int selFirst() const { return selFirst_; }
    int selLast() const { return selLast_; }
    int curLine() const { return curLine_; }
    int curCell() const { return curCell_; }
    int selectionSize() const { return selFirst_ < 0 ? 0 : selLast_ - selFirst_ + 1; }

    // Slots 0..Capacity-1; an index outside them is a programming error (std::out_of_range).
    ProgramLine& line(int index) { return lines_[order_.at(static_cast<size_t>(index))]; }
    const ProgramLine& line(int index) const { return lines_[order_.at(static_cast<size_t>(index))]; }
    ProgramCell& cell(int lineIndex, int cellIndex)
    {
        return line(lineIndex).cells.at(static_cast<size_t>(cellIndex));
    }
    const ProgramCell& cell(int lineIndex, int cellIndex) const
    {
        return line(lineIndex).cells.at(static_cast<size_t>(cellIndex));
    }
    CellSeparator& separator(int lineIndex, int i)
    {
        return line(lineIndex).separators.at(static_cast<size_t>(i));
    }

    // Line operations. Ranges are clamped to the lines in use.
    LineChange insertLines(int first, int n);
    LineChange deleteLines(int first, int n);
    std::vector<uint8_t> copySelection() const;
    CutResult cutSelection();
    // False when nothing is selected, the block is malformed, or a question was cancelled.
    bool pasteBlock(const std::vector<uint8_t>& block);
    void toggleEnabled(int first, int last);
    // Moves the selected lines one line up (delta -1) or down (+1), the line they pass going to
    // the other side; the selection and the current line go with them. False (and no change)
    // without a selection or at the first or last line.
    bool moveSelection(int delta);

    void selectOne(int line);
    void extendSelection(int line);
    void clearSelection();
    void setCurrent(int line, int cell);

    // Completes a load whose lines 0..count-1 were written in place: blanks the lines beyond,
    // drops the selection and the tables; a current cell outside the program becomes -1.
    void finishLoad(int count, int curLine, int curCell);
    // Replaces the whole program (used by loading, which builds the lines elsewhere first).
    // lines.size() must be at most Capacity; curLine/curCell outside the program become -1.
    void assign(std::vector<ProgramLine>&& lines, int curLine, int curCell);

    NameTable nameTable;
    LabelTable labelTable;
    ProgramImage image;
    LineAddressTable lineTable; // of the image, filled with it

  private:
    bool ask(int messageId) const;
    void clearSelectedFlags();
    // Lines first .. first+n-1 (inside the program) removed, the rest moved up, the tail blanked.
    void removeRange(int first, int n);

    // Line i of the program is lines_[order_[i]]: moving lines reorders indexes, not records.
    std::vector<ProgramLine> lines_;
    std::vector<uint16_t> order_;
    int count_ = MinimumCount;
    int selFirst_ = -1;
    int selLast_ = -1;
    int curLine_ = -1;
    int curCell_ = -1;
    ConfirmFunction confirm_;
};

} // namespace behaviour
