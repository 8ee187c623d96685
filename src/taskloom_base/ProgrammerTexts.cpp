#include "taskloom_base/ProgrammerTexts.h"

#include "behaviour/ProgramMessages.h"

#include <map>

namespace programmer {

QString text(int id)
{
    static const std::map<int, QString> table = {
        {Str::EnterValue, "Please, enter the value."},
        {Str::ValueRange, "Please, enter the value between 0 to 255."},
        {Str::NotProgramFile, "It is not Tessaban program file."},
        {Str::NoRobotFile, "Cannot find a robot file! Please select other one."},
        {Str::RobotFileChanged, "Succeed to modify robot file! Please restart program."},
        {Str::RobotFolder, "Robot files\\"},
        {Str::DoubleClick, "Double click!"},
        {Str::NoSelectedProgram, "No selected program"},
        {Str::LabelPrefix, "[Label]  "},
        {Str::CommentPrefix, "[Comment]  "},
        {Str::DefaultProfile, "default.rbt"},
        {Str::Title, "Taskloom (Tessaban)"},
        {Str::ProgramFilter, "Tessaban program file(*.tpg)|*.tpg|All files(*.*)|*.*|"},
        {Str::RobotFilter, "Robot file(*.rbt)|*.rbt|"},
        {Str::SaveChanges, "Save changes to %1?"},
        {Str::NumberTooLarge, "The number is too large. Please, enter a number between 0 and 2147483647."},
        {Str::ClipboardFailed, "The lines could not be put on the clipboard, so they were not cut."},
        {Str::AboutText,
         "Taskloom (Tessaban)\nThe behaviour programmer of the Tessaban robot kit.\nVersion %1"},
        {Str::Untitled, "Untitled"},
        {Str::NotInCodePage, "A program file cannot hold these characters: %1\n"
                             "Please, use Western European letters only."},
        {Str::AddExtension, "Taskloom opens only program files ending in \".tpg\", so \"%1\" could not be "
                            "opened again.\nSave it as \"%2\" instead?"},
        {Str::ReplaceFile, "%1 already exists.\nDo you want to replace it?"},
        {Str::PdfFilter, "PDF document(*.pdf)|*.pdf|"},
        {Str::PngFilter, "PNG picture(*.png)|*.png|"},
        {Str::PrintFailed, "The program could not be printed: the printer or file did not accept the pages."},
    };
    if (auto it = table.find(id); it != table.end())
        return it->second;
    return QString::fromStdString(behaviour::messageText(id));
}

} // namespace programmer
