#include "behaviour/ProgramSearch.h"

#include <algorithm>

namespace behaviour {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool contains(std::string_view hay, std::string_view needle)
{
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return lower(a) == lower(b); }) != hay.end();
}

bool namesIt(const ProgramCell& c, std::string_view name)
{
    if (!c.inUse() || !c.isOperand())
        return false;
    if (c.kind() == Kind::Name || c.role() == Role::Label)
        return c.text == name;
    if (c.kind() == Kind::Device)
        return ((c.mask() == 2 || c.mask() == 3) && c.idName == name) ||
               ((c.mask() == 1 || c.mask() == 3) && c.text == name);
    return false;
}

} // namespace

std::vector<FoundPlace> findText(const BehaviorProgram& program, std::string_view needle)
{
    std::vector<FoundPlace> found;
    if (needle.empty())
        return found;
    for (int l = 0; l < program.count(); ++l) {
        const ProgramLine& line = program.line(l);
        if (contains(line.label, needle))
            found.push_back({l, FoundPlace::LabelArea});
        for (int i = 0; i < CellsPerLine; ++i) {
            const ProgramCell& c = line.cells[static_cast<size_t>(i)];
            if (c.inUse() && contains(c.fullText, needle))
                found.push_back({l, i});
        }
        if (contains(line.comment, needle))
            found.push_back({l, FoundPlace::CommentArea});
    }
    return found;
}

std::vector<FoundPlace> findUses(const BehaviorProgram& program, std::string_view name)
{
    std::vector<FoundPlace> found;
    if (name.empty())
        return found;
    for (int l = 0; l < program.count(); ++l) {
        const ProgramLine& line = program.line(l);
        if (line.label == name)
            found.push_back({l, FoundPlace::LabelArea});
        for (int i = 0; i < CellsPerLine; ++i)
            if (namesIt(line.cells[static_cast<size_t>(i)], name))
                found.push_back({l, i});
    }
    return found;
}

std::string nameAt(const BehaviorProgram& program, const FoundPlace& at)
{
    if (at.line < 0 || at.line >= program.count())
        return {};
    const ProgramLine& line = program.line(at.line);
    if (at.cell == FoundPlace::LabelArea)
        return line.label;
    if (at.cell < 0 || at.cell >= CellsPerLine)
        return {};
    const ProgramCell& c = line.cells[static_cast<size_t>(at.cell)];
    if (c.inUse() && c.isOperand() && (c.kind() == Kind::Name || c.role() == Role::Label))
        return c.text;
    return {};
}

} // namespace behaviour
