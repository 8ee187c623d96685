#pragma once
// Writes program lines through the same cell operations the grid uses (choices, typed texts,
// pads, register dialog), so that programs made by tools and tests are exactly what a user
// would have made by hand.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/CellEditing.h"

#include <string>

namespace behaviour {

struct Operand {
    enum class Type { Number, Name, Controller, Device, Custom, Buttons, Remocon };
    Type type = Type::Number;
    int32_t value = 0;   // number, controller or register entry, button or remocon bits
    int busId = 0;       // Device
    std::string text;    // name, device name, or custom ID text
    std::string address; // custom address text

    static Operand number(int32_t v) { return {Type::Number, v, 0, {}, {}}; }
    static Operand name(const std::string& n) { return {Type::Name, 0, 0, n, {}}; }
    static Operand kz7(int entry) { return {Type::Controller, entry, 0, {}, {}}; }
    static Operand device(const std::string& deviceName, int busId, int registerEntry)
    {
        return {Type::Device, registerEntry, busId, deviceName, {}};
    }
    static Operand custom(const std::string& idText, const std::string& addressText)
    {
        return {Type::Custom, 0, 0, idText, addressText};
    }
    static Operand buttons(int32_t bits) { return {Type::Buttons, bits, 0, {}, {}}; }
    static Operand remocon(int32_t bits) { return {Type::Remocon, bits, 0, {}, {}}; }
};

class ProgramBuilder {
  public:
    explicit ProgramBuilder(BehaviorProgram& program, int firstLine = 0);

    // Moves to the next line (the first call starts at firstLine); label and comment as typed.
    ProgramBuilder& line(const std::string& label = {}, const std::string& comment = {});

    ProgramBuilder& start() { return instruction(Instr::Start); }
    ProgramBuilder& end() { return instruction(Instr::End); }
    ProgramBuilder& ret() { return instruction(Instr::Return); }
    // IF / ELSE IF / CONT IF (left comparison right) connective; after THEN the next instruction
    // goes into cell 5.
    ProgramBuilder& condition(uint8_t head, const Operand& left, uint8_t comparison, const Operand& right,
                              uint8_t connective);
    ProgramBuilder& otherwise(); // ELSE; the next instruction goes into cell 1
    ProgramBuilder& load(const Operand& destination, const Operand& source);
    ProgramBuilder& compute(const Operand& destination, const Operand& a, uint8_t op, const Operand& b);
    ProgramBuilder& jump(const std::string& label);
    ProgramBuilder& call(const std::string& label);

    int lineIndex() const { return line_; }
    // False once any step could not be applied (a shape the editor would not allow).
    bool ok() const { return ok_; }

  private:
    ProgramBuilder& instruction(uint8_t n);
    void fill(int column, const Operand& operand);
    void choose(int column, const ChoiceItem& item);

    BehaviorProgram& p_;
    int line_;
    int column_ = 0;
    bool ok_ = true;
};

} // namespace behaviour
