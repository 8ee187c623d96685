#pragma once
// Every text of the behaviour core that a user can see, keyed by its string number, and the one
// place where the check/generate outcome is turned into the message the programmer shows (the
// Check Rule command, the download dialog and the command line all use composeBuildMessage).

#include <string>

namespace behaviour {

namespace Msg {
inline constexpr int NotProgramFile = 10002;   // "It is not Tessaban program file."
inline constexpr int IncorrectGrammar = 10003; // "There is an incorrect program grammar!"
inline constexpr int IncorrectLabel = 10004;   // "Found incorrect jump label!"
inline constexpr int DeleteEdited = 10007;     // question before edited lines are lost
inline constexpr int NoError = 10010;          // "There is no error!"
inline constexpr int ErrorTotal = 10024;       // "The total number of errors: "
inline constexpr int NoStartOrEnd = 10025;
inline constexpr int DoubleClick = 12008; // text of an untouched cell
} // namespace Msg

// The text of a string number; empty for a number this core does not own.
const std::string& messageText(int id);

struct CheckResult;
struct GenerateResult;

// The message for a check (and, when the check passed, a generation):
// 10003 + line break + (10024 + count | 10025); or 10004 or our own text for a refused image;
// or 10010 when both passed.
std::string composeBuildMessage(const CheckResult& check, const GenerateResult* generate);

} // namespace behaviour
