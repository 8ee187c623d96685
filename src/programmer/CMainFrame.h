#pragma once
// Taskloom's main window: the program windows in an MDI area, the menus, toolbar and status bar,
// file opening (menu, drop, recent files, command line), the unsaved-changes questions, and the
// routing to the controller dialogs.

#include "taskloom_base/ControllerDialog.h"

#include <QMainWindow>
#include <QString>

#include <map>
#include <vector>

class QMdiArea;
class QDockWidget;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolBar;
class QMenu;
class QSettings;

namespace motion {
class DeviceTable;
}
namespace behaviour {
struct FoundPlace;
}

namespace programmer {

class CEditorDoc;
class CEditorFrame;
class CEditorView;
class PlaceList;
struct ListedPlace;
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
    PlaceList* placeList() const { return placeList_; }
    QToolBar* findBar() const { return findBar_; }
    QMenu* editMenu() const { return editMenu_; }
    DebugController* debugger() const { return debug_; }
    void updateActions();
    // Where a program window goes: the n-th slot of the cascade, inside the MDI area.
    QRect cascadeSlot(int n) const;
    // File / Export as PDF or PNG ("pdf", "png") of the active program; false when nothing was
    // written (dismissed, or a failure that was reported).
    bool exportProgram(const QString& kind);
    void printProgram();
    // Scales every grid (clamped to 50..200 percent) and remembers the scale.
    void setZoom(int percent);
    void cascade();

  signals:
    void controllerDialogRequested(ControllerDialog which, const QString& mtnPreset);

  protected:
    bool event(QEvent* e) override;
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
    void buildPlaceDock();
    void buildFindBar();
    void showPlaces(const QString& title, const QString& whatHeader, const std::vector<ListedPlace>& places);
    std::vector<ListedPlace> listed(const std::vector<behaviour::FoundPlace>& found) const;
    void checkRule();
    void findPlaces();
    void findUses();
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
    void fillWindowMenu();
    void numberViews(const CEditorDoc& doc);
    void fitOuterSize();
    QString programSavePath(const QString& chosen);

    TaskloomSettings& settings_;
    const motion::DeviceTable& devices_;
    Prompter& prompter_;
    LineClipboard& clipboard_;
    QString robotFolder_;
    QMdiArea* mdi_;
    QMenu* editMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> windowList_; // the Window menu's entries for the open windows
    QLabel* programPane_ = nullptr;
    PlaceList* placeList_ = nullptr;
    QDockWidget* placeDock_ = nullptr;
    QToolBar* findBar_ = nullptr;
    QLineEdit* findText_ = nullptr;
    QSpinBox* lineBox_ = nullptr;
    QString lastFound_;
    QObject* windowWatch_ = new QObject; // context of the calls a window makes as it goes
    QSize outerSize_;                    // the remembered outer size, set once the frame is known
    bool outerSizePending_ = true;
    std::map<QString, QAction*> actions_;
    bool firstFrameShown_ = false;
    bool motionPreset_ = false;
    QString motionPresetPath_;
    ControllerDialog lastDialog_ = ControllerDialog::DownloadPlay;
    DebugController* debug_ = nullptr;
};

} // namespace programmer
