#pragma once
// The rule check and the code generator, and the one call that runs both the way the Check Rule
// command and a download do.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/CommandCatalogue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace behaviour {

struct CheckResult {
    bool ok = false;
    int errors = 0; // cells marked; 0 with ok = false means no START/END or a duplicate label
};

enum class GenerateError {
    None,
    LabelNotFound, // a JUMP or CALL names a label no checked line carries
    Empty,         // no START, or nothing to encode after it
    TooLarge,      // image and checksum would not fit the 8192-byte program area
    BadCell,       // a cell that cannot be encoded (unknown kind, missing name, bad catalogue index)
};

struct GenerateResult {
    bool ok = false;
    GenerateError error = GenerateError::None;
    int line = -1; // the cell that stopped the generation, when there is one
    int cell = -1;
    int needed = 0; // TooLarge: bytes the image would have needed with its checksum, at least
};

// Marks offending cells, fills the program's name and label tables.
CheckResult checkRules(BehaviorProgram& program);
// Encodes the lines from START to END into program.image using the tables of the last check.
GenerateResult generateImage(BehaviorProgram& program, const CommandCatalogue& catalogue);

struct BuildResult {
    bool ok = false;              // check and generation both passed
    CheckResult check;
    GenerateResult generate;      // meaningful only when check.ok
    std::string message;          // the text to show: 10010 on success, else the failure message
    std::vector<uint8_t> bytes;   // on success: the image and its checksum, ready to send
};

// Check, then (when the check passed) generate; composes the message.
BuildResult buildProgram(BehaviorProgram& program);

} // namespace behaviour
