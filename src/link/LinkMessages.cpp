#include "link/LinkMessages.h"

namespace comm {

const char* linkMessageText(int number)
{
    switch (number) {
    case kMsgBadGrammar:
        return "There is an incorrect program grammar!";
    case kMsgBadJumpLabel:
        return "Found incorrect jump label!";
    case kMsgCannotConnect:
        return "Cannot connect KZ-7 !\nPlease check the condition of connection.";
    case kMsgCannotDownload:
        return "Cannot download program to KZ-7!\n Please check the condition of connection.";
    case kMsgNotFirmwareFile:
        return "It is not proper Tessaban program file.";
    case kMsgFirmwareUpdated:
        return "Succeed to update KZ-7!";
    case kMsgFirmwareUpdateFailed:
        return "You failed KZ-7 update!\nYou need to install KZ-7 program  refering to Tessaban User's "
               "Guide.";
    case kMsgMotionReadDone:
        return "Succeed to read Motion Data of robot!\nPlease press \"MODE\" button of KZ-7.";
    case kMsgMotionReadFailed:
        return "Failed to read Motion data of Robot!";
    case kMsgMotionWriteDone:
        return "Succeed to write Motion data!";
    case kMsgMotionWriteFailed:
        return "Failed to write Motion data of robot!";
    case kMsgNotMotionData:
        return "This file is not a Motion Data!";
    case kMsgMotionFileReadFailed:
        return "Failed to read Motion Data of robot from a file!";
    case kMsgPressStart:
        return "Press the \"OK\" button fisrt and then press the \"START\" button of KZ-7!";
    case kMsgErrorCount:
        return "The total number of errors: ";
    case kMsgNoStartOrEnd:
        return "There is no \"START\" or \"END\" command. If not, please check incorrect labels.";
    case kMsgNotServoProgram:
        return "This is not a proper program of VQ!";
    case kMsgServoUpdateFailed:
        return "Failed to update VQ program!";
    case kMsgQuitRecovery:
        return "Are you sure to quit KZ-7 recovery?";
    case kMsgCannotOpenPort:
        return "Can not open this port!\nRetry to select port.";
    case kMsgRecoveryInstallFailed:
        return "Failed to install KZ-7 firmware!\nRetry please.";
    case kMsgPressStartToVerify:
        return "To check the new firmware, press the \"OK\" button first and then press the \"START\" "
               "button of KZ-7!";
    case kMsgFirmwareMismatch:
        return "The firmware read back from KZ-7 differs from the file!\nPlease install it again.";
    case kMsgFirmwareUpdatedUnchecked:
        return "Succeed to update KZ-7!\nThe new firmware was not read back, so it is not checked.";
    case kMsgInstalledUnchecked:
        return "It is completed installing firmware of KZ-7.\nIt was not read back, so it is not checked.\n"
               "Press \"Next\" button.";
    case kMsgPressStartAgain:
        return "To check what was read, the motion data is read once more.\nPress the \"OK\" button first "
               "and then press the \"START\" button of KZ-7 again!";
    case kMsgPlay:
        return "Play";
    case kMsgStop:
        return "Stop";
    case kMsgConnect:
        return "Connect KZ-7";
    case kMsgDisconnect:
        return "Disconnect KZ-7";
    case kMsgDownload:
        return "Download";
    case kMsgNoSelectedProgram:
        return "No selected program";
    case kMsgServoUpdated:
        return "Completed updating VQ program";
    case kMsgRecoveryCaption:
        return "Step of KZ-7 recovery";
    case kMsgFinish:
        return "Finish";
    case kMsgRecoveryStart:
        return "It starts recovering KZ-7 firmware.";
    case kMsgRecoveryReady:
        return "1. After KZ-7 power off, connect KZ-7 to PC using download cable.\n\n2. Select COM port "
               "connected KZ-7, then press \"Next\" button.";
    case kMsgPowerOn:
        return "Power on KZ-7.\n\nWaiting for a response of KZ-7.";
    case kMsgBootLoaderCaught:
        return "It is successful running KZ-7 bootloader.\n\nPress \"Next\" button.";
    case kMsgBootLoaderMissed:
        return "It is failed to run KZ-7 bootloader.\nPlease, retry.";
    case kMsgSelectFirmware:
        return "Select a firmware file for recovering KZ-7.";
    case kMsgInstalling:
        return "Installing firmware of KZ-7...\nPlease wait for completion.";
    case kMsgInstalled:
        return "It is completed installing firmware of KZ-7.\nPress \"Next\" button.";
    case kMsgRecovered:
        return "Congratulations!\n\nIt is successful recoverying KZ-7.";
    default:
        return "";
    }
}

} // namespace comm
