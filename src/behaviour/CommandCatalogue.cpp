#include "behaviour/CommandCatalogue.h"

#include <cstdlib>

namespace behaviour {

namespace {

// The catalogue's string table: the icon count, the entry count, then one "name:code" per entry.
// The names are the controller's established vocabulary, misspellings included; programs and
// listings depend on them, so they are kept verbatim.
const char* const kIconCountText = "51";
const char* const kEntryCountText = "82";
// clang-format off
const char* const kEntryTexts[] = {
    "Joyntra:0x00", "Sensor:0x00", "KZ-7:0x00", "KZ-7 Button:0x00", "Remocon:0x00",
    "Turn on/off:0x18", "LED:0x19", "CW margin:0x1a", "CCW margin:0x1b", "CW Slope:0x1c",
    "CCW Slope:0x1d", "Goal position:0x1e", "Moving speed:0x20", "MAX torque:0x22",
    "Present position:0x24", "Present speed:0x26", "Present load:0x28", "Input voltage:0x2a",
    "Interal temerature:0x2b", "Moving flag:0x2e", "Left IR sensor data:0x1a",
    "Center IR sensor data:0x1b", "Right IR sensor data:0x1c", "Left luminosity:0x1d",
    "Center luminosity:0x1e", "Right luminosity:0x1f", "Obstacle detecttion flag:0x20",
    "luminosity detection flag:0x21", "Sound data:0x23", "Sound data max hold:0x24",
    "Sound detected count:0x25", "Sound detected time:0x26", "Buzzer index:0x28", "Buzzer time:0x29",
    "IR remocon arrived:0x2e", "IR remocon RX data:0x30", "IR remocon TX data:0x32",
    "Obstacle detected compare:0x34", "Light detected compare:0x35", "Motion play page:0x18",
    "Motion play status:0x19", "TX remocon data:0x1a", "RX remocon data:0x1c",
    "RX remocon data arrived:0x1e", "AUX LED:0x1f", "Button:0x20", "Timer:0x21", "Other robot ID:0x22",
    "My robot ID:0x24", "Print:0x25", "Print with line feed:0x26", "Undefine:0xff", "IF:0x80",
    "ELSE IF:0x81", "ELSE:0x82", "CONT IF:0x83", "JUMP:0x01", "LOAD:0x02", "COMPUTE:0x03",
    "START:0x04", "END:0x05", "CALL:0x06", "RETURN:0x07", "=:0x00", ">:0x01", ">=:0x02", "<:0x03",
    "<=:0x04", "!=:0x05", "THEN:0x00", "AND:0x01", "OR:0x02", "+:0x00", "-:0x01", "x:0x02", "/:0x03",
    "and(&):0x10", "or( | ):0x11", "(:0x00", "):0x00", "=:0x00", "<-:0x00",
};
// clang-format on
constexpr int kEntryTextCount = sizeof(kEntryTexts) / sizeof(kEntryTexts[0]);

const std::string kEmpty;

// A cell placed by a template: in use, the given direction, shown as "Undefine" until filled.
void placeCell(const CommandCatalogue& cat, ProgramLine& line, int i, uint8_t category, uint8_t second,
               uint16_t direction)
{
    if (i < 0 || i >= CellsPerLine)
        return; // a crafted line can ask for cells past the end; there are none to place
    ProgramCell& c = line.cells[i];
    c.reset();
    c.flags = CellFlag::InUse | direction;
    c.code = {category, second, NotChosen, NotChosen, NotChosen};
    c.style = Style::Text;
    c.entry = Entry::Undefine;
    c.gridText = cat.name(Entry::Undefine);
    c.fullText = c.gridText;
}

void placeSeparator(const CommandCatalogue& cat, ProgramLine& line, int i, int kind, int entry)
{
    if (i < 0 || i >= SeparatorsPerLine)
        return;
    CellSeparator& s = line.separators[i];
    s.kind = kind;
    s.shown = 1;
    s.entry = entry;
    s.text = cat.name(entry);
}

} // namespace

const CommandCatalogue& CommandCatalogue::instance()
{
    static const CommandCatalogue catalogue = [] {
        CommandCatalogue c;
        c.build();
        return c;
    }();
    return catalogue;
}

void CommandCatalogue::build()
{
    if (built_)
        return;
    iconCount_ = std::atoi(kIconCountText);
    int n = std::atoi(kEntryCountText);
    if (n > kEntryTextCount)
        n = kEntryTextCount;
    names_.reserve(n);
    codes_.reserve(n);
    for (int i = 0; i < n; ++i) {
        std::string s = kEntryTexts[i];
        auto colon = s.find(':');
        if (colon == std::string::npos) {
            names_.push_back(s);
            codes_.push_back(0);
            continue;
        }
        names_.push_back(s.substr(0, colon));
        codes_.push_back(static_cast<int>(std::strtol(s.c_str() + colon + 1, nullptr, 16)));
    }
    built_ = true;
}

const std::string& CommandCatalogue::name(int index) const
{
    return valid(index) ? names_[index] : kEmpty;
}

int CommandCatalogue::code(int index) const
{
    return valid(index) ? codes_[index] : -1;
}

std::vector<ChoiceItem> CommandCatalogue::choiceList(const ProgramCell& cell)
{
    const auto& c = cell.code;
    std::vector<ChoiceItem> items;
    if (c[0] == Category::Instruction && c[1] == InstrList::LineStart) {
        for (uint8_t k = 0; k <= 10; ++k)
            items.push_back({Entry::FirstInstruction + k, k});
    } else if (c[0] == Category::Instruction && c[1] == InstrList::AfterThenElse) {
        for (uint8_t k : {Instr::Jump, Instr::Load, Instr::Compute, Instr::Call})
            items.push_back({Entry::FirstInstruction + k, k});
    } else if (c[0] == Category::Comparison) {
        for (uint8_t k = 3; k <= 8; ++k)
            items.push_back({Entry::FirstComparison + k - 3, k});
    } else if (c[0] == Category::Arithmetic) {
        for (uint8_t k = 9; k <= 14; ++k)
            items.push_back({Entry::FirstArithmetic + k - 9, k});
    } else if (c[0] == Category::Connective) {
        for (uint8_t k = 15; k <= 17; ++k)
            items.push_back({Entry::FirstConnective + k - 15, k});
    } else if (c[0] == Category::Operand && c[2] == Kind::Controller &&
               (cell.flags & (CellFlag::Write | CellFlag::Read))) {
        items = controllerChoices(cell.flags & CellFlag::Write ? Direction::Write : Direction::Read);
    }
    return items;
}

std::vector<ChoiceItem> CommandCatalogue::controllerChoices(Direction direction)
{
    static const int writeList[] = {39, 41, 44, 46, 47, 48, 49, 50};
    static const int readList[] = {39, 40, 41, 42, 43, 45, 46, 47, 48};
    auto listCode = [](int e) -> uint8_t {
        if (e == Entry::TxRemocon || e == Entry::RxRemocon)
            return ListCodeRemocon;
        if (e == Entry::Button)
            return ListCodeButton;
        return NotChosen;
    };
    std::vector<ChoiceItem> items;
    if (direction == Direction::Write) {
        for (int e : writeList)
            items.push_back({e, listCode(e)});
    } else {
        for (int e : readList)
            items.push_back({e, listCode(e)});
    }
    return items;
}

std::vector<int> CommandCatalogue::registerList(DeviceKind kind, Direction direction)
{
    std::vector<int> out;
    auto range = [&](int a, int b) {
        for (int i = a; i <= b; ++i)
            out.push_back(i);
    };
    switch (kind) {
    case DeviceKind::Servo:
        range(5, direction == Direction::Read ? 19 : 13);
        break;
    case DeviceKind::Sensor:
        if (direction == Direction::Read)
            range(20, 38);
        else
            out = {29, 30, 31, 32, 33, 36, 37, 38};
        break;
    case DeviceKind::All:
        range(5, 13);
        for (int e : {29, 31, 32, 33, 36, 37})
            out.push_back(e);
        break;
    }
    return out;
}

void CommandCatalogue::apply(ProgramLine& line, int c) const
{
    if (c < 0 || c >= CellsPerLine)
        return;
    for (int i = c + 1; i < CellsPerLine; ++i)
        line.cells[i].reset();
    for (int i = c; i < SeparatorsPerLine; ++i)
        line.separators[i].reset();

    const ProgramCell& cell = line.cells[c];
    const uint8_t cat = cell.code[0], second = cell.code[1], third = cell.code[2];
    using namespace CellFlag;
    if (cat == Category::Instruction &&
        (second == InstrList::LineStart || second == InstrList::AfterThenElse)) {
        const bool lineStart = second == InstrList::LineStart;
        if (lineStart && (third == Instr::If || third == Instr::ElseIf || third == Instr::ContIf)) {
            placeSeparator(*this, line, c, SepKind::Open, Entry::OpenParen);
            placeCell(*this, line, c + 1, Category::Operand, Role::Left, Read);
            placeCell(*this, line, c + 2, Category::Comparison, NotChosen, 0);
            placeCell(*this, line, c + 3, Category::Operand, Role::Right, Read);
            placeSeparator(*this, line, c + 3, SepKind::Close, Entry::CloseParen);
            placeCell(*this, line, c + 4, Category::Connective, NotChosen, 0);
        } else if (lineStart && third == Instr::Else) {
            placeCell(*this, line, c + 1, Category::Instruction, InstrList::AfterThenElse, 0);
        } else if (third == Instr::Load) {
            placeCell(*this, line, c + 1, Category::Operand, Role::Destination, Write);
            placeSeparator(*this, line, c + 1, SepKind::Arrow, Entry::Arrow);
            placeCell(*this, line, c + 2, Category::Operand, Role::Source, Read);
        } else if (third == Instr::Compute) {
            placeCell(*this, line, c + 1, Category::Operand, Role::Destination, Write);
            placeSeparator(*this, line, c + 1, SepKind::Equals, Entry::Equals);
            placeCell(*this, line, c + 2, Category::Operand, Role::Source, Read);
            placeCell(*this, line, c + 3, Category::Arithmetic, NotChosen, 0);
            placeCell(*this, line, c + 4, Category::Operand, Role::Source, Read);
        } else if (third == Instr::Jump || third == Instr::Call) {
            placeCell(*this, line, c + 1, Category::Operand, Role::Label, 0);
        }
    } else if (cat == Category::Connective && second == Conn::Then) {
        placeCell(*this, line, c + 1, Category::Instruction, InstrList::AfterThenElse, 0);
    }
}

std::string CommandCatalogue::gridName(const std::string& name)
{
    if (name.size() <= GridNameLimit)
        return name;
    return name.substr(0, GridNameLimit) + "...";
}

std::string CommandCatalogue::buttonText(int32_t bits)
{
    static const struct {
        int32_t bit;
        const char* letter;
    } order[] = {{8, "U"}, {2, "L"}, {1, "R"}, {4, "D"}, {16, "S"}};
    std::string out;
    for (const auto& o : order) {
        if (!(bits & o.bit))
            continue;
        if (!out.empty())
            out += "+";
        out += o.letter;
    }
    return out;
}

} // namespace behaviour
