#pragma once
// The records a behaviour program is made of: a line is a row of ten cells with nine separators
// between them, plus a label, a comment and line flags. The numeric codes are the ones stored in
// program files and read by the checker and the generator, so they must never be renumbered.

#include <array>
#include <cstdint>
#include <string>

namespace behaviour {

inline constexpr uint8_t NotChosen = 255; // code byte not chosen yet
inline constexpr int NoEntry = 20000;     // catalogue index meaning "none"
inline constexpr int CellsPerLine = 10;
inline constexpr int SeparatorsPerLine = 9;

// Bits of ProgramCell::flags.
namespace CellFlag {
inline constexpr uint16_t InUse = 1;
inline constexpr uint16_t Error = 2;
inline constexpr uint16_t Write = 4;
inline constexpr uint16_t Read = 8;
} // namespace CellFlag

// Bits of ProgramLine::flags.
namespace LineFlag {
inline constexpr uint16_t Selected = 4;
inline constexpr uint16_t Edited = 8;
inline constexpr uint16_t Current = 16;
inline constexpr uint16_t Disabled = 32;
} // namespace LineFlag

// code[0] of a cell.
namespace Category {
inline constexpr uint8_t Instruction = 0;
inline constexpr uint8_t Comparison = 1;
inline constexpr uint8_t Arithmetic = 2;
inline constexpr uint8_t Connective = 3;
inline constexpr uint8_t Operand = 4;
} // namespace Category

// code[1] of an instruction cell: which list it was chosen from.
namespace InstrList {
inline constexpr uint8_t LineStart = 0;
inline constexpr uint8_t AfterThenElse = 1;
} // namespace InstrList

// code[2] of an instruction cell.
namespace Instr {
inline constexpr uint8_t If = 0;
inline constexpr uint8_t ElseIf = 1;
inline constexpr uint8_t Else = 2;
inline constexpr uint8_t ContIf = 3;
inline constexpr uint8_t Jump = 4;
inline constexpr uint8_t Load = 5;
inline constexpr uint8_t Compute = 6;
inline constexpr uint8_t Start = 7;
inline constexpr uint8_t End = 8;
inline constexpr uint8_t Call = 9;
inline constexpr uint8_t Return = 10;
} // namespace Instr

// code[1] of a connective cell.
namespace Conn {
inline constexpr uint8_t Then = 15;
inline constexpr uint8_t And = 16;
inline constexpr uint8_t Or = 17;
} // namespace Conn

// code[1] of an operand cell, placed by the line template.
namespace Role {
inline constexpr uint8_t Destination = 18;
inline constexpr uint8_t Source = 19;
inline constexpr uint8_t Left = 20;
inline constexpr uint8_t Right = 21;
inline constexpr uint8_t Label = 22;
inline constexpr uint8_t Button = 23;
inline constexpr uint8_t Remocon = 24;
} // namespace Role

// code[2] of an operand cell, set by how the user filled it.
namespace Kind {
inline constexpr uint8_t Device = 11;     // register of a bus device
inline constexpr uint8_t Controller = 12; // register of the KZ-7 itself
inline constexpr uint8_t Number = 13;
inline constexpr uint8_t Name = 14;
} // namespace Kind

// ProgramCell::style.
namespace Style {
inline constexpr int Text = 1;
inline constexpr int TextIcon = 3;
} // namespace Style

// CellSeparator::kind.
namespace SepKind {
inline constexpr int None = 0;
inline constexpr int Open = 1;   // "("
inline constexpr int Close = 2;  // ")"
inline constexpr int Equals = 3; // "="
inline constexpr int Arrow = 4;  // "<-"
} // namespace SepKind

struct ProgramCell {
    uint16_t flags = 0;
    std::array<uint8_t, 5> code{NotChosen, NotChosen, NotChosen, NotChosen, NotChosen};
    int32_t style = Style::Text;
    int32_t entry = NoEntry;
    std::string gridText;
    std::string fullText;
    int32_t id = 0;
    std::string idName;
    int32_t value = 0;
    std::string text;

    // Clears everything but the style, which the grid keeps across resets.
    void reset();

    bool inUse() const { return flags & CellFlag::InUse; }
    bool hasError() const { return flags & CellFlag::Error; }
    uint8_t category() const { return code[0]; }
    bool isOperand() const { return code[0] == Category::Operand; }
    uint8_t role() const { return code[1]; } // operands
    uint8_t kind() const { return code[2]; } // operands
    uint8_t mask() const { return code[3]; } // kind-11 operands
    // An instruction cell (in use) holding instruction number n, from either list.
    bool isInstruction(uint8_t n) const
    {
        return inUse() && code[0] == Category::Instruction && code[2] == n;
    }

    bool operator==(const ProgramCell&) const = default;
};

struct CellSeparator {
    int32_t kind = SepKind::None;
    int32_t shown = 0;
    int32_t entry = NoEntry;
    std::string text;

    void reset(); // keeps "shown"

    bool operator==(const CellSeparator&) const = default;
};

struct ProgramLine {
    std::array<ProgramCell, CellsPerLine> cells;
    std::array<CellSeparator, SeparatorsPerLine> separators;
    std::string label;
    std::string comment;
    uint16_t flags = 0;

    ProgramLine() { reset(); }
    // A record about to be overwritten field by field (a file being read): skips the reset.
    struct Unset {};
    explicit ProgramLine(Unset) {}
    // Blank line: every cell and separator reset, cell 0 left as an empty instruction slot.
    void reset();

    bool edited() const { return flags & LineFlag::Edited; }
    bool disabled() const { return flags & LineFlag::Disabled; }
    bool selected() const { return flags & LineFlag::Selected; }
    // Lines the checker and the generator look into: visited by the cursor and not disabled.
    bool active() const { return edited() && !disabled(); }
    // True when the line holds anything a user put there (used by listings).
    bool hasContent() const;

    bool operator==(const ProgramLine&) const = default;
};

} // namespace behaviour
