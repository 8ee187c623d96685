#pragma once
// Taskloom's Debug menu: debugs the active program on a simulator that offers a debug channel
// beside its port. Start checks, generates and downloads the program, arms the simulator's
// debugger (the breakpoints, or a stop at the first line) and plays it; stops highlight their
// line in every window of the program and fill the Variables dock; the controller's output
// goes on in the Controller Output dock. The rules live in debugclient::DebugSession; this
// class only wires them to menus, docks, grids and the port's worker.

#include "debugclient/DebugSession.h"
#include "debugclient/DebugSocket.h"
#include "guikit/Prompter.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "programmer/dialogs/TransferWorker.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <set>
#include <string>

class QAction;
class QDockWidget;
class QMenu;
class QSocketNotifier;

namespace programmer {

class CEditorDoc;
class CMainFrame;
class CEditorView;
class ConsoleView;
class VariablesDock;

class DebugController : public QObject {
    Q_OBJECT
  public:
    DebugController(CMainFrame& frame, int& comPort, guikit::Prompter& prompter,
                    const comm::LinkTiming& timing = {});
    ~DebugController() override;

    QMenu* menu() const { return menu_; }
    QAction* action(const char* name) const;
    VariablesDock* variablesDock() const { return variables_; }
    ConsoleView* console() const { return console_; }
    const debugclient::DebugSession& session() const { return session_; }

    bool hasBreakpoint(const CEditorDoc* doc, int line) const;
    // The line the debugged program stands at in doc, or -1.
    int currentLine(const CEditorDoc* doc) const;
    void toggleBreakpoint(CEditorDoc* doc, int line);
    // Shows or hides the menu as the chosen port offers a debug channel or not.
    void updateMenu();

    void startOrContinue();
    void command(debugclient::DebugSession::Command c);
    void stop();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void start(CEditorDoc* doc);
    void play();
    void finished(const comm::MaintenanceResult& result);
    void toggleAtCursor();
    void socketReadable();
    void refreshTick();
    void programEdited();
    void attachViews();
    void showSession();
    void repaintGrids(const CEditorDoc* doc);
    CEditorView* viewOf(const CEditorDoc* doc) const;

    CMainFrame& frame_;
    int& comPort_;
    guikit::Prompter& prompter_;
    QMenu* menu_ = nullptr;
    std::map<QString, QAction*> actions_;
    VariablesDock* variables_ = nullptr;
    QDockWidget* consoleDock_ = nullptr;
    ConsoleView* console_ = nullptr;

    std::map<const CEditorDoc*, std::set<int>> breakpoints_;
    QPointer<CEditorDoc> doc_; // the program being debugged
    debugclient::DebugSocket socket_;
    debugclient::DebugSession session_{socket_};
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer refresh_; // the variables while running, about five times a second
    QTimer watch_;   // the port's debug channel, the program windows, the console text
    bool stopping_ = false;
    bool asking_ = false;
    int ticks_ = 0;
    int scrolledTo_ = -1;
    std::string shownStatus_;
    QPointer<CEditorDoc> restart_; // started again once the ended run has stopped

    comm::ControllerLink link_;
    TransferWorker worker_;
    comm::Maintenance jobs_;
};

} // namespace programmer
