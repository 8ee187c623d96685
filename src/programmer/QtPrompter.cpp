#include "programmer/QtPrompter.h"

#include "taskloom_base/ProgrammerTexts.h"

namespace programmer {

namespace {

guikit::PrompterLook taskloomLook()
{
    guikit::PrompterLook look;
    look.yesNo.defaultButton = QMessageBox::No;
    return look;
}

} // namespace

QtPrompter::QtPrompter() : guikit::QtPrompter(programmer::text(Str::Title), taskloomLook()) {}

} // namespace programmer
