#pragma once
// Every text of Taskloom a user can see, keyed by its string number (the behaviour core's own
// numbers are answered from the core's table). Numbers from 20000 on are our own messages.

#include <QString>

namespace programmer {

namespace Str {
inline constexpr int EnterValue = 10000;       // "Please, enter the value."
inline constexpr int ValueRange = 10001;       // "Please, enter the value between 0 to 255."
inline constexpr int NotProgramFile = 10002;   // "It is not Tessaban program file."
inline constexpr int NoRobotFile = 10012;      // "Cannot find a robot file! ..."
inline constexpr int RobotFileChanged = 10013; // "Succeed to modify robot file! ..."
inline constexpr int RobotFolder = 12007;      // "Robot files\"
inline constexpr int DoubleClick = 12008;      // "Double click!"
inline constexpr int NoSelectedProgram = 12009;
inline constexpr int LabelPrefix = 13000;     // "[Label]  "
inline constexpr int CommentPrefix = 13001;   // "[Comment]  "
inline constexpr int DefaultProfile = 13002;  // "default.rbt"
inline constexpr int Title = 57344;           // "Taskloom (Tessaban)"
inline constexpr int ProgramFilter = 20000;   // the ".tpg" open/save filter
inline constexpr int RobotFilter = 20001;     // the ".rbt" filter
inline constexpr int SaveChanges = 20002;     // "Save changes to %1?"
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
