#pragma once
// The start-up steps that can stop the program before its window shows: the robot profile.

#include "guikit/Prompter.h"
#include <QString>

namespace motion {
class DeviceTable;
}

namespace programmer {

class TaskloomSettings;

// Loads robotFolder + the profile name. When that fails: message 10012, then an open dialog for
// ".rbt" files preset with the profile name in robotFolder. False when the user cancels (the
// program then ends without a window); otherwise the chosen file's name becomes the profile name
// and that file is loaded (whatever it holds, the table keeps at least the broadcast entry).
bool findRobotProfile(TaskloomSettings& settings, motion::DeviceTable& devices, guikit::Prompter& prompter,
                      const QString& robotFolder);

} // namespace programmer
