#pragma once
// The programmer's names for its string numbers, and their texts as QString, read from Taskloom's
// text table (which also answers the cores' numbers). Numbers from 20000 on are our own messages.

#include <QString>

namespace programmer {

namespace Str {
inline constexpr int EnterValue = 10000;
inline constexpr int ValueRange = 10001;
inline constexpr int NotProgramFile = 10002;
inline constexpr int NoRobotFile = 10012;
inline constexpr int RobotFileChanged = 10013;
inline constexpr int RobotFolder = 12007;
inline constexpr int DoubleClick = 12008;
inline constexpr int NoSelectedProgram = 12009;
inline constexpr int LabelPrefix = 13000;
inline constexpr int CommentPrefix = 13001;
inline constexpr int DefaultProfile = 13002;
inline constexpr int Title = 57344;
inline constexpr int ProgramFilter = 20000; // the ".tpg" open/save filter
inline constexpr int RobotFilter = 20001;   // the ".rbt" filter
inline constexpr int SaveChanges = 20002;
inline constexpr int NumberTooLarge = 20003;  // a typed number that does not fit
inline constexpr int ClipboardFailed = 20004; // the clipboard refused a cut
inline constexpr int AboutText = 20005;
inline constexpr int Untitled = 20006;      // name of a program never saved
inline constexpr int NotInCodePage = 20007; // a typed character the file cannot hold
inline constexpr int AddExtension = 20008;  // Save As under another extension than ".tpg"
inline constexpr int ReplaceFile = 20009;   // the name with ".tpg" added exists already
inline constexpr int PdfFilter = 20010;
inline constexpr int PngFilter = 20011;
inline constexpr int PrintFailed = 20012;
} // namespace Str

// The text of a string number; empty for an unknown number.
QString text(int id);

} // namespace programmer
