#include "behaviour/ProgramLine.h"

#include "behaviour/ProgramMessages.h"
#include "taskloom_texts/TaskloomTexts.h"

namespace behaviour {

void ProgramCell::reset()
{
    flags = 0;
    code.fill(NotChosen);
    entry = NoEntry;
    gridText = taskloom::text(Msg::DoubleClick);
    fullText = gridText;
    id = 0;
    idName.clear();
    value = 0;
    text.clear();
}

void CellSeparator::reset()
{
    kind = SepKind::None;
    text.clear();
    entry = NoEntry;
}

void ProgramLine::reset()
{
    for (auto& c : cells)
        c.reset();
    for (auto& s : separators)
        s.reset();
    label.clear();
    comment.clear();
    flags = 0;
    ProgramCell& slot = cells[0];
    slot.flags = CellFlag::InUse;
    slot.code = {Category::Instruction, InstrList::LineStart, NotChosen, NotChosen, NotChosen};
    slot.style = Style::Text;
    slot.entry = 51; // "Undefine"
}

bool ProgramLine::hasContent() const
{
    if (flags & (LineFlag::Edited | LineFlag::Disabled))
        return true;
    if (!label.empty() || !comment.empty())
        return true;
    if (cells[0].code[2] != NotChosen || cells[0].code[0] != Category::Instruction)
        return true;
    for (int i = 1; i < CellsPerLine; ++i)
        if (cells[i].inUse())
            return true;
    return false;
}

} // namespace behaviour
