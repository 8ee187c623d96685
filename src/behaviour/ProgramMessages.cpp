#include "behaviour/ProgramMessages.h"

#include "behaviour/ProgramTables.h"
#include "behaviour/RuleChecker.h"

#include <cstdio>
#include <map>

namespace behaviour {

const std::string& messageText(int id)
{
    static const std::map<int, std::string> table = {
        {Msg::NotProgramFile, "It is not Tessaban program file."},
        {Msg::IncorrectGrammar, "There is an incorrect program grammar!"},
        {Msg::IncorrectLabel, "Found incorrect jump label!"},
        {Msg::DeleteEdited, "Do you want to continue to delete edited program line?"},
        {Msg::NoError, "There is no error!"},
        {Msg::ErrorTotal, "The total number of errors: "},
        {Msg::NoStartOrEnd,
         "There is no \"START\" or \"END\" command. If not, please check incorrect labels."},
        {Msg::DoubleClick, "Double click!"},
    };
    static const std::string none;
    auto it = table.find(id);
    return it == table.end() ? none : it->second;
}

std::string composeBuildMessage(const CheckResult& check, const GenerateResult* generate)
{
    if (!check.ok) {
        std::string text = messageText(Msg::IncorrectGrammar) + "\n";
        if (check.errors > 0)
            text += messageText(Msg::ErrorTotal) + std::to_string(check.errors);
        else if (check.errors == 0)
            text += messageText(Msg::NoStartOrEnd);
        return text;
    }
    if (generate == nullptr || generate->ok)
        return messageText(Msg::NoError);
    char buf[300];
    switch (generate->error) {
    case GenerateError::TooLarge:
        std::snprintf(
            buf, sizeof buf,
            "The program is too large for the controller: its image needs at least %d bytes with the "
            "checksum, and only %d fit (line %d).",
            generate->needed, ProgramImage::Capacity, generate->line + 1);
        return buf;
    case GenerateError::BadCell:
        std::snprintf(buf, sizeof buf,
                      "Line %d, cell %d cannot be turned into controller code: its operand kind, name or "
                      "catalogue entry is not valid.",
                      generate->line + 1, generate->cell);
        return buf;
    default:
        return messageText(Msg::IncorrectLabel);
    }
}

} // namespace behaviour
