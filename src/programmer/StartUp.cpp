#include "programmer/StartUp.h"

#include "taskloom_base/ProgrammerTexts.h"
#include "taskloom_base/Prompter.h"
#include "taskloom_base/TaskloomSettings.h"

#include "motion/DeviceTable.h"

#include <QFileInfo>

namespace programmer {

bool findRobotProfile(TaskloomSettings& settings, motion::DeviceTable& devices, Prompter& prompter,
                      const QString& robotFolder)
{
    std::string error;
    if (devices.load((robotFolder + settings.robotProfile).toStdString(), &error))
        return true;
    // What went wrong (missing, unreadable, damaged) first, then the way out.
    prompter.message(QString::fromStdString(error));
    prompter.message(text(Str::NoRobotFile));
    const QString chosen = prompter.openFile(text(Str::RobotFilter), robotFolder + settings.robotProfile);
    if (chosen.isEmpty())
        return false;
    settings.robotProfile = QFileInfo(chosen).fileName();
    devices.load(chosen.toStdString());
    return true;
}

} // namespace programmer
