#pragma once
// What filling a cell does to a line, independent of any widget: a choice from the cell's list,
// a typed text, the button and remote-control pads, and the register of a bus device. The grid
// view calls these; so do the tests and the example-program builder.

#include "behaviour/CommandCatalogue.h"
#include "behaviour/ProgramLine.h"

#include <string>

namespace behaviour {

// Stores the choice in cell `column` (an item of CommandCatalogue::choiceList for an instruction,
// operator or connective cell, or of controllerChoices for an operand) and re-shapes the line.
// Choosing the instruction or connective the cell already holds changes nothing.
// False when the column is outside the line or the cell takes no choice.
bool chooseItem(ProgramLine& line, int column, const ChoiceItem& item,
                const CommandCatalogue& catalogue = CommandCatalogue::instance());

// The in-place text box: a label name (role 22), a number (text beginning with a digit) or a
// name; an empty text leaves the kind and shows "Undefine". A number beyond 2147483647 is refused
// (false, the cell untouched) rather than wrapped into some unrelated value.
bool typeText(ProgramLine& line, int column, const std::string& text,
              const CommandCatalogue& catalogue = CommandCatalogue::instance());

// The button pad (role 23): bits 8 U, 2 L, 1 R, 4 D, 16 S.
void setButtonBits(ProgramCell& cell, int32_t bits);
// The remote-control pad (role 24): the value in decimal as text.
void setRemoconBits(ProgramCell& cell, int32_t bits);

// A register chosen from a device of the robot profile (kind 11, both parts numeric). Like every
// other left side that is not "Button", it releases a button-constant right side.
bool setDeviceRegister(ProgramLine& line, int column, const std::string& deviceName, int busId,
                       int registerEntry, const CommandCatalogue& catalogue = CommandCatalogue::instance());

struct ParameterResult {
    bool ok = false;
    int messageId = 0; // 10000 (a box is empty) or 10001 (a number outside 0..255) when refused
};
// "Custom ID": each text is a number when it begins with a digit, else a name. Releases a
// button-constant right side as setDeviceRegister does.
ParameterResult setCustomRegister(ProgramLine& line, int column, const std::string& idText,
                                  const std::string& addressText);

// True when the leading decimal digits of a text fit a non-negative 32-bit integer.
bool numberFits(const std::string& text);
// The leading decimal digits of a text; wraps modulo 2^32 so the low 16 bits are always exact.
int32_t leadingNumber(const std::string& text);

} // namespace behaviour
