#include "posewright_texts/PosewrightTexts.h"

namespace posewright {

namespace {
// clang-format off
constexpr platform::NumberedText kTexts[] = {
    {Txt::CannotOpenPort, "Can not open %s!"},
    {Txt::ControllerNotFound, "Can not find KZ-7! Please, try again after following next steps.\n1. Check the cable connection and Power.\n2. Push the \"MODE\" button of KZ-7.\n3. Turn off and on KZ-7.\n4. Execute Posewright again."},
    {Txt::Disconnected, "Disconnected to KZ-7."},
    {Txt::ReaderFailed, "Error while creating ThreadWatchComm in %s!"},
    {Txt::PortGone, "The controller's port went away. Check the cable and the power, then choose \"Connect KZ-7\" again."},
    {Txt::ErrorCaption, "Error"},
    {Txt::IncorrectPoseQuestion, "Execute incorrect pose or closing a present page without saving \nDo you want to continue?"},
    {Txt::Connecting, "Connecting to KZ-7. Please wait..."},
    {Txt::ConnectFailed, "Can not find KZ-7. Try again please."},
    {Txt::NoMessage, "No message"},
    {Txt::PagePlay, "Page Play"},
    {Txt::Stop, "Stop"},
    {Txt::UnsavedPageQuestion, "The changes to page %d are not saved.\nDo you want to save them first?"},
    {Txt::UnknownJoint, "The pose cannot be dragged: a joint reads \"????\" (its position is not known)."},
    {Txt::OffsetQuestion, "It will move to the Offset page which can adjust difference of joint value.\nIt is so sensitive processing that a beginner must work after mastering manual.\nDo you want to continue?"},
    {Txt::NoRobotFile, "Can not find robot file!"},
    {Txt::SelectPortTitle, "Select COM port"},
    {Txt::PortLabel, "Port :"},
    {Txt::PortName, "COM%1"},
    {Txt::ConnectButton, "Connect"},
    {Txt::CancelButton, "Cancel"},
    {Txt::SplashTitle, "Vistapane initizlizing ..."},
    {Txt::SplashText, "Initializing ..."},
    {Txt::RobotFileFilter, "Robot file(*.rbt)"},
    {Txt::MenuStart, "Start(&S)"},
    {Txt::MenuConnect, "Connect KZ-7(&C)"},
    {Txt::MenuDisconnect, "Disconnect KZ-7(&D)"},
    {Txt::MenuRefreshPage, "Refresh Page(&P)"},
    {Txt::MenuReset3DView, "Reset 3D view(&R)"},
    {Txt::MenuExit, "Exit(&X)"},
    {Txt::MenuSetup, "Setup(&U)"},
    {Txt::MenuChangeRobotFile, "Change Robot file (&C)"},
    {Txt::MenuOffset, "Offset configuration (&O)"},
    {Txt::MenuHelp, "Help(&H)"},
    {Txt::MenuUserGuide, "User Guide(&G)"},
    {Txt::MenuAbout, "About Posewright"},
    {Txt::AboutText, "Posewright\nThe motion page editor of the Tessaban kit.\nVersion %1"},
    {Txt::RobotFileChanged, "Succeed to change robot file!\nPlease restart program."},
};
// clang-format on
} // namespace

std::span<const platform::NumberedText> textTable()
{
    return kTexts;
}

const char* text(int number)
{
    return platform::findText(kTexts, number);
}

} // namespace posewright
