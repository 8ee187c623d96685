#include "behaviour/CellEditing.h"

#include <algorithm>
#include <cstdint>

namespace behaviour {

namespace {

bool startsWithDigit(const std::string& s)
{
    return !s.empty() && s[0] >= '0' && s[0] <= '9';
}

// Empties an operand's values and texts, keeping its flags and role.
void clearOperand(ProgramCell& c)
{
    c.entry = NoEntry;
    c.id = 0;
    c.idName.clear();
    c.text.clear();
    c.value = 0;
    c.gridText.clear();
    c.fullText.clear();
}

// The cell stands for `entry` and shows its name.
void showEntryName(ProgramCell& c, int entry, const CommandCatalogue& cat)
{
    c.style = Style::Text;
    c.entry = entry;
    c.gridText = c.fullText = cat.name(entry);
}

void makeButtonConstant(ProgramCell& c, const CommandCatalogue&)
{
    c.reset();
    c.flags = CellFlag::InUse | CellFlag::Read;
    c.code = {Category::Operand, Role::Button, NotChosen, NotChosen, NotChosen};
    c.style = Style::TextIcon;
    c.entry = Entry::Button;
    c.value = 0;
    c.gridText = c.fullText = "---";
}

void makeEmptyRight(ProgramCell& c, const CommandCatalogue& cat)
{
    c.reset();
    c.flags = CellFlag::InUse | CellFlag::Read;
    c.code = {Category::Operand, Role::Right, NotChosen, NotChosen, NotChosen};
    c.style = Style::Text;
    c.entry = Entry::Undefine;
    c.gridText = c.fullText = cat.name(Entry::Undefine);
}

// A left side that is no longer "Button" turns a button-constant right side back into an operand.
void releaseButtonConstant(ProgramLine& line, int column, const CommandCatalogue& cat)
{
    if (line.cells[column].role() != Role::Left || column + 2 >= CellsPerLine)
        return;
    ProgramCell& right = line.cells[column + 2];
    if (right.isOperand() && right.role() == Role::Button)
        makeEmptyRight(right, cat);
}

} // namespace

bool numberFits(const std::string& text)
{
    int64_t v = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9')
            break;
        v = v * 10 + (ch - '0');
        if (v > INT32_MAX)
            return false;
    }
    return true;
}

int32_t leadingNumber(const std::string& text)
{
    uint32_t v = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9')
            break;
        v = v * 10u + static_cast<uint32_t>(ch - '0');
    }
    return static_cast<int32_t>(v);
}

bool chooseItem(ProgramLine& line, int column, const ChoiceItem& item, const CommandCatalogue& cat)
{
    if (column < 0 || column >= CellsPerLine || !cat.valid(item.entry))
        return false;
    ProgramCell& c = line.cells[column];
    switch (c.code[0]) {
    case Category::Instruction:
    case Category::Connective: {
        // Choosing what the cell already holds leaves the rest of the line as it is.
        const int slot = c.code[0] == Category::Instruction ? 2 : 1;
        if (c.code[slot] == item.listCode)
            return true;
        c.code[slot] = item.listCode;
        showEntryName(c, item.entry, cat);
        cat.apply(line, column);
        return true;
    }
    case Category::Comparison:
    case Category::Arithmetic:
        c.code[1] = item.listCode;
        showEntryName(c, item.entry, cat);
        return true;
    case Category::Operand:
        clearOperand(c);
        c.code[2] = Kind::Controller;
        c.code[3] = NotChosen;
        c.style = Style::TextIcon;
        c.entry = item.entry;
        c.id = ControllerId;
        c.gridText = cat.controllerGridText(item.entry);
        c.fullText = cat.controllerFullText(item.entry);
        if (c.role() == Role::Left && column + 2 < CellsPerLine) {
            if (item.listCode == ListCodeButton)
                makeButtonConstant(line.cells[column + 2], cat);
            else
                releaseButtonConstant(line, column, cat);
        }
        return true;
    default:
        return false;
    }
}

bool typeText(ProgramLine& line, int column, const std::string& text, const CommandCatalogue& cat)
{
    if (column < 0 || column >= CellsPerLine)
        return false;
    if (startsWithDigit(text) && !numberFits(text))
        return false;
    ProgramCell& c = line.cells[column];
    clearOperand(c);
    c.style = Style::Text;
    releaseButtonConstant(line, column, cat);
    if (text.empty()) {
        c.gridText = c.fullText = cat.name(Entry::Undefine);
        return true;
    }
    if (c.role() != Role::Label) {
        if (startsWithDigit(text)) {
            c.code[2] = Kind::Number;
            c.value = leadingNumber(text);
        } else {
            c.code[2] = Kind::Name;
        }
    }
    c.text = text;
    c.fullText = text;
    c.gridText = CommandCatalogue::gridName(text);
    return true;
}

void setButtonBits(ProgramCell& cell, int32_t bits)
{
    cell.value = bits;
    cell.gridText = cell.fullText = CommandCatalogue::buttonText(bits);
}

void setRemoconBits(ProgramCell& cell, int32_t bits)
{
    cell.value = bits;
    cell.gridText = cell.fullText = std::to_string(bits);
}

bool setDeviceRegister(ProgramLine& line, int column, const std::string& deviceName, int busId,
                       int registerEntry, const CommandCatalogue& cat)
{
    if (column < 0 || column >= CellsPerLine || !cat.valid(registerEntry))
        return false;
    ProgramCell& c = line.cells[column];
    clearOperand(c);
    c.code[2] = Kind::Device;
    c.code[3] = 0;
    c.id = busId;
    c.value = cat.code(registerEntry);
    c.entry = registerEntry;
    c.style = Style::TextIcon;
    c.fullText = deviceName + ":" + cat.name(registerEntry);
    c.gridText = CommandCatalogue::gridName(c.fullText);
    releaseButtonConstant(line, column, cat);
    return true;
}

ParameterResult setCustomRegister(ProgramLine& line, int column, const std::string& idText,
                                  const std::string& addressText)
{
    if (column < 0 || column >= CellsPerLine)
        return {};
    if (idText.empty() || addressText.empty())
        return {false, 10000};
    const bool idNumber = startsWithDigit(idText), addrNumber = startsWithDigit(addressText);
    auto inByte = [](const std::string& s) {
        long v = 0; // saturated so that a long digit run is never taken for a small number
        for (size_t i = 0; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            v = std::min(v * 10 + (s[i] - '0'), 100000L);
        return v <= 255;
    };
    if ((idNumber && !inByte(idText)) || (addrNumber && !inByte(addressText)))
        return {false, 10001};
    ProgramCell& c = line.cells[column];
    clearOperand(c);
    c.code[2] = Kind::Device;
    c.code[3] = static_cast<uint8_t>((idNumber ? 0 : 2) | (addrNumber ? 0 : 1));
    if (idNumber)
        c.id = leadingNumber(idText);
    else
        c.idName = idText;
    if (addrNumber)
        c.value = leadingNumber(addressText);
    else
        c.text = addressText;
    c.style = Style::Text;
    c.fullText = idText + ":" + addressText;
    c.gridText = CommandCatalogue::gridName(c.fullText);
    releaseButtonConstant(line, column, CommandCatalogue::instance());
    return {true, 0};
}

} // namespace behaviour
