#pragma once
// The rule check and the code generator, and the one call that runs both the way the Check Rule
// command and a download do.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/CommandCatalogue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace behaviour {

// Why the check or the generation refused the program, one reason per marked place.
enum class Problem {
    NoStart, // no START line
    NoEnd,   // no END after START
    SecondStart,
    EndBeforeStart,
    InstructionNotChosen,
    IfInsideCondition, // IF while the condition before goes on with AND/OR
    ElseIfWithoutIf,
    ContinuedIfAlone, // a continued IF without AND/OR before it
    ElseWithoutIf,
    ComparisonNotChosen,
    OperatorNotChosen,
    ConnectiveMissing, // a condition without THEN, AND or OR
    OperandMissing,    // the operand lies past the line or its cell is not in use
    OperandNotChosen,
    NotControllerRegister,
    NumberAsDestination,
    TooManyNames,
    JumpWithoutLabel,
    DuplicateLabel,
    LabelNotFound, // generation: no checked line carries the label
    NothingToEncode,
    TooLarge,
    CannotEncode,
};
// The reason in words, for the list of errors.
const char* problemText(Problem p);

struct CheckProblem {
    int line = -1; // -1: the program as a whole
    int cell = -1;
    Problem problem = Problem::NoStart;
    bool operator==(const CheckProblem&) const = default;
};

struct CheckResult {
    bool ok = false;
    int errors = 0; // cells marked; 0 with ok = false means no START/END or a duplicate label
    std::vector<CheckProblem> problems = {}; // every place marked, in the order found
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
    bool ok = false; // check and generation both passed
    CheckResult check;
    GenerateResult generate;    // meaningful only when check.ok
    std::string message;        // the text to show: 10010 on success, else the failure message
    std::vector<uint8_t> bytes; // on success: the image and its checksum, ready to send
};

// Check, then (when the check passed) generate; composes the message.
BuildResult buildProgram(BehaviorProgram& program);
// Every reason a build failed: the check's, or the generation's one.
std::vector<CheckProblem> buildProblems(const BuildResult& r);

} // namespace behaviour
