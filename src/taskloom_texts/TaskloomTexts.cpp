#include "taskloom_texts/TaskloomTexts.h"

namespace taskloom {

namespace {
// clang-format off
constexpr platform::NumberedText kTexts[] = {
    {10000, "Please, enter the value."},
    {10001, "Please, enter the value between 0 to 255."},
    {10002, "It is not Tessaban program file."},
    {10003, "There is an incorrect program grammar!"},
    {10004, "Found incorrect jump label!"},
    {10007, "Do you want to continue to delete edited program line?"},
    {10008, "Cannot connect KZ-7 !\nPlease check the condition of connection."},
    {10010, "There is no error!"},
    {10011, "Cannot download program to KZ-7!\n Please check the condition of connection."},
    {10012, "Cannot find a robot file! Please select other one."},
    {10013, "Succeed to modify robot file! Please restart program."},
    {10014, "It is not proper Tessaban program file."},
    {10015, "Succeed to update KZ-7!"},
    {10016, "You failed KZ-7 update!\nYou need to install KZ-7 program  refering to Tessaban User's Guide."},
    {10017, "Succeed to read Motion Data of robot!\nPlease press \"MODE\" button of KZ-7."},
    {10018, "Failed to read Motion data of Robot!"},
    {10019, "Succeed to write Motion data!"},
    {10020, "Failed to write Motion data of robot!"},
    {10021, "This file is not a Motion Data!"},
    {10022, "Failed to read Motion Data of robot from a file!"},
    {10023, "Press the \"OK\" button fisrt and then press the \"START\" button of KZ-7!"},
    {10024, "The total number of errors: "},
    {10025, "There is no \"START\" or \"END\" command. If not, please check incorrect labels."},
    {10026, "This is not a proper program of VQ!"},
    {10028, "Failed to update VQ program!"},
    {10029, "Are you sure to quit KZ-7 recovery?"},
    {10030, "Can not open this port!\nRetry to select port."},
    {10031, "Failed to install KZ-7 firmware!\nRetry please."},
    {10032, "To check the new firmware, press the \"OK\" button first and then press the \"START\" button of KZ-7!"},
    {10033, "The firmware read back from KZ-7 differs from the file!\nPlease install it again."},
    {10034, "Succeed to update KZ-7!\nThe new firmware was not read back, so it is not checked."},
    {10035, "It is completed installing firmware of KZ-7.\nIt was not read back, so it is not checked.\nPress \"Next\" button."},
    {10036, "To check what was read, the motion data is read once more.\nPress the \"OK\" button first and then press the \"START\" button of KZ-7 again!"},
    {12001, "Play"},
    {12002, "Stop"},
    {12003, "Connect KZ-7"},
    {12004, "Disconnect KZ-7"},
    {12005, "Download"},
    {12007, "Robot files\\"},
    {12008, "Double click!"},
    {12009, "No selected program"},
    {12013, "Completed updating VQ program"},
    {12019, "Step of KZ-7 recovery"},
    {12020, "Finish"},
    {12021, "It starts recovering KZ-7 firmware."},
    {12022, "1. After KZ-7 power off, connect KZ-7 to PC using download cable.\n\n2. Select COM port connected KZ-7, then press \"Next\" button."},
    {12023, "Power on KZ-7.\n\nWaiting for a response of KZ-7."},
    {12024, "It is successful running KZ-7 bootloader.\n\nPress \"Next\" button."},
    {12025, "It is failed to run KZ-7 bootloader.\nPlease, retry."},
    {12026, "Select a firmware file for recovering KZ-7."},
    {12027, "Installing firmware of KZ-7...\nPlease wait for completion."},
    {12028, "It is completed installing firmware of KZ-7.\nPress \"Next\" button."},
    {12029, "Congratulations!\n\nIt is successful recoverying KZ-7."},
    {13000, "[Label]  "},
    {13001, "[Comment]  "},
    {13002, "default.rbt"},
    {20000, "Tessaban program file(*.tpg)|*.tpg|All files(*.*)|*.*|"},
    {20001, "Robot file(*.rbt)|*.rbt|"},
    {20002, "Save changes to %1?"},
    {20003, "The number is too large. Please, enter a number between 0 and 2147483647."},
    {20004, "The lines could not be put on the clipboard, so they were not cut."},
    {20005, "Taskloom (Tessaban)\nThe behaviour programmer of the Tessaban robot kit.\nVersion %1"},
    {20006, "Untitled"},
    {20007, "A program file cannot hold these characters: %1\nPlease, use Western European letters only."},
    {20008, "Taskloom opens only program files ending in \".tpg\", so \"%1\" could not be opened again.\nSave it as \"%2\" instead?"},
    {20009, "%1 already exists.\nDo you want to replace it?"},
    {20010, "PDF document(*.pdf)|*.pdf|"},
    {20011, "PNG picture(*.png)|*.png|"},
    {20012, "The program could not be printed: the printer or file did not accept the pages."},
    {20013, "The program is too large for the controller: its image needs at least %d bytes with the checksum, and only %d fit (line %d)."},
    {20014, "Line %d, cell %d cannot be turned into controller code: its operand kind, name or catalogue entry is not valid."},
    {57344, "Taskloom (Tessaban)"},
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

} // namespace taskloom
