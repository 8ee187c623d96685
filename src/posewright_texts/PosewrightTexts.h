#pragma once
// Posewright's texts: one constant table of number and text, the only place a text a user of
// Posewright sees is written. Code names a text by its number (Txt below) and reads it here.

#include "platform/NumberedText.h"

#include <span>

namespace posewright {

namespace Txt {
enum : int {
    // The motion link's reports.
    CannotOpenPort = 1,     // "%s": the port
    ControllerNotFound = 2, // the reply time-out, with the steps to try
    Disconnected = 3,       // the message line after the link closed
    ReaderFailed = 4,       // "%s": the device path
    PortGone = 5,           // shown below ReaderFailed
    ErrorCaption = 6,
    IncorrectPoseQuestion = 7, // when the controller asks "Are you sure?"
    // The editor's message line, captions and questions.
    Connecting = 8,
    ConnectFailed = 9,
    NoMessage = 10,
    PagePlay = 11,
    Stop = 12,
    UnsavedPageQuestion = 13, // "%d": the page number
    UnknownJoint = 14,
    OffsetQuestion = 15,
    // The shell's dialogs.
    NoRobotFile = 16,
    SelectPortTitle = 17,
    PortLabel = 18,
    PortName = 19, // "%1": the port number
    ConnectButton = 20,
    CancelButton = 21,
    SplashTitle = 22,
    SplashText = 38,
    RobotFileFilter = 23,
    // The main window's menus and messages.
    MenuStart = 24,
    MenuConnect = 25,
    MenuDisconnect = 26,
    MenuRefreshPage = 27,
    MenuReset3DView = 28,
    MenuExit = 29,
    MenuSetup = 30,
    MenuChangeRobotFile = 31,
    MenuOffset = 32,
    MenuHelp = 33,
    MenuUserGuide = 34,
    MenuAbout = 35,
    AboutText = 36, // "%1": the version
    RobotFileChanged = 37,
};
} // namespace Txt

// Every entry, in ascending order of number; each number once.
std::span<const platform::NumberedText> textTable();

// The text of a number, exactly; "" for a number that is not in the table.
const char* text(int number);

} // namespace posewright
