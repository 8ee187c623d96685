#pragma once
// The string numbers of the behaviour core's messages (their texts are in Taskloom's text table),
// and the one place where the check/generate outcome is turned into the message the programmer
// shows (the Check Rule command, the download dialog and the command line all use
// composeBuildMessage).

#include <string>

namespace behaviour {

namespace Msg {
inline constexpr int NotProgramFile = 10002;
inline constexpr int IncorrectGrammar = 10003;
inline constexpr int IncorrectLabel = 10004;
inline constexpr int DeleteEdited = 10007; // question before edited lines are lost
inline constexpr int NoError = 10010;
inline constexpr int ErrorTotal = 10024; // followed by the count
inline constexpr int NoStartOrEnd = 10025;
inline constexpr int DoubleClick = 12008; // text of an untouched cell
// Ours, printf formats: a program the generator refuses.
inline constexpr int ImageTooLarge = 20013;    // bytes needed, bytes that fit, 1-based line
inline constexpr int CellNotGenerated = 20014; // 1-based line, cell
} // namespace Msg

struct CheckResult;
struct GenerateResult;

// The message for a check (and, when the check passed, a generation):
// 10003 + line break + (10024 + count | 10025); or 10004 or our own text for a refused image;
// or 10010 when both passed.
std::string composeBuildMessage(const CheckResult& check, const GenerateResult* generate);

} // namespace behaviour
