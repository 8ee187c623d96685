#pragma once
// The controller dialogs the main window can open. Every menu item, toolbar button and file
// open that leads to one of them goes through CMainFrame::openControllerDialog.

namespace programmer {

enum class ControllerDialog {
    DownloadPlay, // Program / Download/Play
    RecoverKz7,   // Management / Recovery KZ-7
    UpdateKz7,    // Management / Update KZ-7
    UpdateVq,     // Management / Update VQ
    RobotMotion,  // Management / Robot Motion (also a ".mtn" file opened or dropped)
};

} // namespace programmer
