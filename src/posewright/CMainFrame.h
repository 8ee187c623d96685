#pragma once
// The main window: the menus "Start(&S)", "Setup(&U)" and "Help(&H)" around the editor form,
// the remembered window position, and the settings written at exit.

#include "posewright/PosewrightSettings.h"

#include <QMainWindow>

class QAction;

namespace posewright {

class CPosewrightView;
class Prompter;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    CMainFrame(PosewrightSettings& settings, const QString& robotFolder, Prompter& prompter);
    ~CMainFrame() override;

    CPosewrightView* view() const { return view_; }
    QAction* action(const QString& text) const;
    // Destroys the view (which closes the link) and writes the settings.
    void shutDown();
    // The menu handlers, also reached by tests.
    void changeRobotFile();

  protected:
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void updateMenus();

    PosewrightSettings& settings_;
    QString robotFolder_;
    Prompter& prompter_;
    CPosewrightView* view_ = nullptr;
    QList<QAction*> actions_;
    bool shutDown_ = false;
};

} // namespace posewright
