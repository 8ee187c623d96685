#pragma once
// Taskloom's main window: the program windows in an MDI area, the menus, toolbar and status bar,
// file opening (menu, drop, recent files, command line) and the routing to the controller dialogs.

#include "programmer/ControllerDialog.h"

#include <QMainWindow>
#include <QString>

namespace programmer {

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // The one place every controller dialog is opened from (menus, toolbar, ".mtn" files).
    // mtnPreset is the motion file to preset in the Robot Motion dialog (empty: none).
    void openControllerDialog(ControllerDialog which, const QString& mtnPreset = {});
};

} // namespace programmer
