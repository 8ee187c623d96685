#include "programmer/ProgramText.h"

#include "taskloom_base/ProgrammerTexts.h"

#include "behaviour/CodePage.h"

namespace programmer {

QString fromProgramText(const std::string& bytes)
{
    return QString::fromStdString(behaviour::codePageToUtf8(bytes));
}

std::optional<std::string> toProgramText(const QString& typed, QString* refusal)
{
    auto r = behaviour::utf8ToCodePage(typed.toStdString());
    if (!r.bytes && refusal)
        *refusal = text(Str::NotInCodePage).arg(QString::fromStdString(r.refused));
    return r.bytes;
}

} // namespace programmer
