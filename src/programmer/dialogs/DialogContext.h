#pragma once
// What every controller dialog is given by the main window: the settings it reads and changes,
// the prompter for its messages, and the protocol's timing (tests shorten the waits).

#include "guikit/Prompter.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"

#include <QString>

namespace programmer {

// The main window's settings values the controller dialogs share. A successful connect stores
// the port number; the firmware and motion file dialogs start at, and store, their paths; the
// firmware dialogs show and store whether new firmware is read back to check it.
struct DialogSettings {
    int& comPort;           // "Com Port": the port COM<n>
    QString& firmwarePath;  // "Firmware": the last firmware ".hex" file
    QString& motionDocPath; // "MotionDoc": the last ".mtn" file
    bool& checkFirmware;    // "Check Firmware": "Check by reading back" is ticked
};

struct DialogContext {
    DialogSettings settings;
    guikit::Prompter& prompter;
    comm::LinkTiming linkTiming = {};
    comm::MaintenanceTiming jobTiming = {};
    int bootLoaderWaitSeconds = 60; // the recovery wizard's wait for power-on
};

} // namespace programmer
