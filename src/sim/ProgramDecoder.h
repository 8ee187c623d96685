#pragma once
// Reads a behaviour program image (the bytes the code generator writes to 0xA000) into
// statements, one per program line, by the grammar the generator follows:
//
//   line        := START | END | RETURN | action | condition | ELSE action
//   condition   := (IF | ELSE IF | CONT IF) operand comparison operand (AND | OR | THEN action)
//   action      := JUMP label | CALL label | LOAD dest src | COMPUTE dest src arith src
//                  (after THEN or ELSE, END and RETURN are taken as actions too)
//   operand     := type byte, two data bytes
//
// A byte means an instruction, a comparison, a connective or an operator only by its place, so
// "=", THEN and "+" are all 0x00. The image ends with its first END line, or where the area
// holds nothing but erased bytes (0xFF) from the start of a line on; the checksum the boot
// loader checked is not kept in memory. Jump and call targets must be the start of a line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr int kProgramVariables = 50; // one per name the rule checker can collect

struct ProgramOperand {
    enum class Type : uint8_t {
        Register = 0,     // device ID, register address
        NamedAddress = 1, // device ID, variable holding the address
        NamedId = 2,      // variable holding the ID, register address
        NamedBoth = 3,    // variable holding the ID, variable holding the address
        Value = 4,        // 16-bit number (also labels and button or remote constants)
        Variable = 5,     // variable number
    };
    Type type = Type::Value;
    uint8_t id = 0;      // device ID, or the variable that holds it
    uint8_t address = 0; // register address, or the variable that holds it
    uint16_t value = 0;  // Value: the number; Variable: the variable number
};

enum class ProgramOp : uint8_t {
    Start,
    End,
    Return,
    Jump,
    Call,
    Load,
    Compute,
    If,
    ElseIf,
    ContIf,
    Else,
};

// Comparison, connective and operator codes as the image holds them.
enum class Comparison : uint8_t {
    Equal = 0,
    Greater = 1,
    GreaterEqual = 2,
    Less = 3,
    LessEqual = 4,
    NotEqual = 5
};
enum class Connective : uint8_t { Then = 0, And = 1, Or = 2 };
enum class Arith : uint8_t { Add = 0, Sub = 1, Mul = 2, Div = 3, BitAnd = 0x10, BitOr = 0x11 };

struct ProgramAction {
    ProgramOp op = ProgramOp::End; // Jump, Call, Load, Compute, End or Return
    ProgramOperand destination;
    ProgramOperand source;
    ProgramOperand operand; // second source of COMPUTE
    Arith arith = Arith::Add;
    uint32_t target = 0; // JUMP / CALL: statement index of the label's line
    uint16_t offset = 0; // where the action starts in the image
};

struct ProgramStatement {
    ProgramOp op = ProgramOp::Start;
    uint16_t offset = 0; // where the line starts in the image
    // IF, ELSE IF, CONT IF.
    ProgramOperand left;
    ProgramOperand right;
    Comparison comparison = Comparison::Equal;
    Connective connective = Connective::Then;
    // The line's own action (JUMP .. COMPUTE lines), the one after THEN, or after ELSE.
    bool hasAction = false;
    ProgramAction action;
    // After a THEN whose condition held: the first line past the rest of the chain (the
    // ELSE IF lines, their CONT IF lines and an ELSE that follow).
    uint32_t afterChain = 0;
};

struct DecodedProgram {
    bool ok = false;
    std::vector<ProgramStatement> statements;
    size_t size = 0;        // bytes the image takes
    size_t errorOffset = 0; // where a malformed image went wrong
    std::string error;      // what went wrong, in a few words
};

// Decodes up to `size` bytes (the program area: 8192 bytes at most are looked at).
DecodedProgram decodeProgram(const uint8_t* bytes, size_t size);

} // namespace sim
