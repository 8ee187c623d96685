#pragma once
// Taskloom's main window: the program windows in an MDI area, the menus, toolbar and status bar,
// file opening (menu, drop, recent files, command line), the unsaved-changes questions, and the
// routing to the controller dialogs.

#include "programmer/ControllerDialog.h"

#include <QMainWindow>
#include <QString>

#include <map>

class QMdiArea;
class QMenu;
class QSettings;

namespace motion {
class DeviceTable;
}

namespace programmer {

class CEditorDoc;
class CEditorFrame;
class CEditorView;
class DebugController;
class LineClipboard;
class Prompter;
class TaskloomSettings;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // `robotFolder` is where robot profiles are looked for (empty: the working directory).
    CMainFrame(TaskloomSettings& settings, const motion::DeviceTable& devices, Prompter& prompter,
               LineClipboard& clipboard, const QString& robotFolder = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The one place every controller dialog is opened from (menus, toolbar, ".mtn" files).
    // mtnPreset is the motion file to preset in the Robot Motion dialog (empty: none).
    void openControllerDialog(ControllerDialog which, const QString& mtnPreset = {});

    TaskloomSettings& settings() { return settings_; }
    const motion::DeviceTable& devices() const { return devices_; }
    Prompter& prompter() { return prompter_; }
    QMdiArea* mdiArea() const { return mdi_; }

    // Every way of opening a file ends here: ".tpg" opens a program window, "mtn" presets the
    // Robot Motion dialog, anything else is refused with 10002. False when nothing opened.
    bool openFile(const QString& path);
    CEditorFrame* newDocument();
    CEditorFrame* newWindow(CEditorDoc& doc);
    CEditorFrame* activeFrame() const;
    CEditorView* activeView() const;
    // Saves the active program (asking for a name when it has none); false when not saved.
    bool save();
    bool saveAs();
    // Asks about unsaved changes of every document and closes every window; false on Cancel.
    bool closeAll();

    // The motion file preset for the Robot Motion dialog by the last ".mtn" opened.
    bool motionPresetFlag() const { return motionPreset_; }
    const QString& motionPresetPath() const { return motionPresetPath_; }
    void clearMotionPreset();
    // The dialog most recently asked for (for the dialogs' tests until they take over).
    ControllerDialog lastControllerDialog() const { return lastDialog_; }

    QAction* action(const QString& name) const;
    QMenu* editMenu() const { return editMenu_; }
    DebugController* debugger() const { return debug_; }
    void updateActions();

  signals:
    void controllerDialogRequested(ControllerDialog which, const QString& mtnPreset);

  protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

  private:
    QAction* addAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key,
                       void (CMainFrame::*slot)());
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void updateRecentMenu();
    bool saveDocument(CEditorDoc& doc, bool askName);
    bool frameMayClose(CEditorFrame* frame);
    void attachFrame(CEditorFrame* frame);
    void fileOpen();
    void changeRobotFile();
    void about();
    void frameActivated();
    void showEditMenu(const QPoint& globalPos);
    template <typename F> void onView(F f);
    void arrangeIcons();

    TaskloomSettings& settings_;
    const motion::DeviceTable& devices_;
    Prompter& prompter_;
    LineClipboard& clipboard_;
    QString robotFolder_;
    QMdiArea* mdi_;
    QMenu* editMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    std::map<QString, QAction*> actions_;
    bool firstFrameShown_ = false;
    bool motionPreset_ = false;
    QString motionPresetPath_;
    ControllerDialog lastDialog_ = ControllerDialog::DownloadPlay;
    DebugController* debug_ = nullptr;
};

} // namespace programmer
