#include "behaviour/ProgramMessages.h"

#include "behaviour/ProgramTables.h"
#include "behaviour/RuleChecker.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <cstdio>

namespace behaviour {

std::string composeBuildMessage(const CheckResult& check, const GenerateResult* generate)
{
    if (!check.ok) {
        std::string text = std::string(taskloom::text(Msg::IncorrectGrammar)) + "\n";
        if (check.errors > 0)
            text += std::string(taskloom::text(Msg::ErrorTotal)) + std::to_string(check.errors);
        else if (check.errors == 0)
            text += taskloom::text(Msg::NoStartOrEnd);
        return text;
    }
    if (generate == nullptr || generate->ok)
        return std::string(taskloom::text(Msg::NoError));
    char buf[300];
    switch (generate->error) {
    case GenerateError::TooLarge:
        std::snprintf(buf, sizeof buf, taskloom::text(Msg::ImageTooLarge), generate->needed,
                      ProgramImage::Capacity, generate->line + 1);
        return buf;
    case GenerateError::BadCell:
        std::snprintf(buf, sizeof buf, taskloom::text(Msg::CellNotGenerated), generate->line + 1,
                      generate->cell);
        return buf;
    default:
        return std::string(taskloom::text(Msg::IncorrectLabel));
    }
}

} // namespace behaviour
