#include "taskloom_base/ProgrammerTexts.h"

#include "taskloom_texts/TaskloomTexts.h"

namespace programmer {

QString text(int id)
{
    return QString::fromUtf8(taskloom::text(id));
}

} // namespace programmer
