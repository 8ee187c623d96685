#include "programmer/QtPrompter.h"

#include "taskloom_base/ProgrammerTexts.h"

namespace programmer {

QtPrompter::QtPrompter()
    : guikit::QtPrompter(
          programmer::text(Str::Title),
          {.yesNo = {QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No}})
{
}

} // namespace programmer
