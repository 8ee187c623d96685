#include "behaviour/ProgramBuilder.h"

namespace behaviour {

ProgramBuilder::ProgramBuilder(BehaviorProgram& program, int firstLine) : p_(program), line_(firstLine - 1) {}

ProgramBuilder& ProgramBuilder::line(const std::string& label, const std::string& comment)
{
    ++line_;
    column_ = 0;
    if (line_ >= p_.count()) {
        ok_ = false;
        line_ = p_.count() - 1;
        return *this;
    }
    p_.setCurrent(line_, 0);
    p_.line(line_).label = label;
    p_.line(line_).comment = comment;
    return *this;
}

void ProgramBuilder::choose(int column, const ChoiceItem& item)
{
    if (column >= CellsPerLine) {
        ok_ = false;
        return;
    }
    p_.setCurrent(line_, column);
    const auto offered = CommandCatalogue::choiceList(p_.cell(line_, column));
    bool listed = false;
    for (const auto& o : offered)
        listed = listed || o == item;
    if (!listed || !chooseItem(p_.line(line_), column, item))
        ok_ = false;
}

ProgramBuilder& ProgramBuilder::instruction(uint8_t n)
{
    choose(column_, {Entry::FirstInstruction + n, n});
    return *this;
}

void ProgramBuilder::fill(int column, const Operand& o)
{
    if (column >= CellsPerLine || !p_.cell(line_, column).isOperand()) {
        ok_ = false;
        return;
    }
    p_.setCurrent(line_, column);
    ProgramLine& l = p_.line(line_);
    switch (o.type) {
    case Operand::Type::Number:
        ok_ = typeText(l, column, std::to_string(o.value)) && ok_;
        break;
    case Operand::Type::Name:
        ok_ = typeText(l, column, o.text) && ok_;
        break;
    case Operand::Type::Controller: {
        const ProgramCell& c = l.cells[column];
        const auto items = CommandCatalogue::controllerChoices(c.flags & CellFlag::Write ? Direction::Write
                                                                                         : Direction::Read);
        bool found = false;
        for (const auto& item : items) {
            if (item.entry == o.value) {
                found = true;
                ok_ = chooseItem(l, column, item) && ok_;
            }
        }
        ok_ = ok_ && found;
        break;
    }
    case Operand::Type::Device:
        ok_ = setDeviceRegister(l, column, o.text, o.busId, o.value) && ok_;
        break;
    case Operand::Type::Custom:
        ok_ = setCustomRegister(l, column, o.text, o.address).ok && ok_;
        break;
    case Operand::Type::Buttons:
        if (l.cells[column].role() != Role::Button)
            ok_ = false;
        else
            setButtonBits(l.cells[column], o.value);
        break;
    case Operand::Type::Remocon:
        setRemoconBits(l.cells[column], o.value);
        break;
    }
}

ProgramBuilder& ProgramBuilder::condition(uint8_t head, const Operand& left, uint8_t comparison,
                                          const Operand& right, uint8_t connective)
{
    instruction(head);
    const int c = column_;
    fill(c + 1, left);
    choose(c + 2, {Entry::FirstComparison + comparison - 3, comparison});
    fill(c + 3, right);
    choose(c + 4, {Entry::FirstConnective + connective - Conn::Then, connective});
    column_ = c + 5;
    return *this;
}

ProgramBuilder& ProgramBuilder::otherwise()
{
    instruction(Instr::Else);
    column_ += 1;
    return *this;
}

ProgramBuilder& ProgramBuilder::load(const Operand& destination, const Operand& source)
{
    instruction(Instr::Load);
    fill(column_ + 1, destination);
    fill(column_ + 2, source);
    return *this;
}

ProgramBuilder& ProgramBuilder::compute(const Operand& destination, const Operand& a, uint8_t op,
                                        const Operand& b)
{
    instruction(Instr::Compute);
    fill(column_ + 1, destination);
    fill(column_ + 2, a);
    choose(column_ + 3, {Entry::FirstArithmetic + op - 9, op});
    fill(column_ + 4, b);
    return *this;
}

ProgramBuilder& ProgramBuilder::jump(const std::string& label)
{
    instruction(Instr::Jump);
    p_.setCurrent(line_, column_ + 1);
    ok_ = typeText(p_.line(line_), column_ + 1, label) && ok_;
    return *this;
}

ProgramBuilder& ProgramBuilder::call(const std::string& label)
{
    instruction(Instr::Call);
    p_.setCurrent(line_, column_ + 1);
    ok_ = typeText(p_.line(line_), column_ + 1, label) && ok_;
    return *this;
}

} // namespace behaviour
