#include "programmer/DebugController.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorFrame.h"
#include "programmer/CEditorView.h"
#include "programmer/CGridCtrl.h"
#include "programmer/CMainFrame.h"
#include "programmer/DebugMarkDelegate.h"
#include "programmer/VariablesDock.h"
#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/DialogText.h"
#include "taskloom_base/Prompter.h"

#include "behaviour/RuleChecker.h"

#include <QAction>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QStatusBar>

namespace programmer {

using Command = debugclient::DebugSession::Command;
using SessionState = debugclient::DebugSession::State;

namespace {

constexpr int kRefreshMs = 50;     // console text; the variables every fourth tick
constexpr int kVariablesEvery = 4; // about five times a second
constexpr int kWatchMs = 1000;     // the port's debug channel and the program windows

QString fromBytes(const std::string& s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

DebugController::DebugController(CMainFrame& frame, int& comPort, Prompter& prompter,
                                 const comm::LinkTiming& timing)
    : QObject(&frame), frame_(frame), comPort_(comPort), prompter_(prompter), link_(timing), worker_(this),
      jobs_(link_, worker_)
{
    menu_ = new QMenu(QStringLiteral("&Debug"), &frame_);
    struct Item {
        const char* name;
        const char* text;
        QKeySequence key;
        std::function<void()> run;
    };
    const Item items[] = {
        {"start", "&Start Debugging", QKeySequence(Qt::Key_F5), [this] { startOrContinue(); }},
        {"stepOver", "Step &Over", QKeySequence(Qt::Key_F10), [this] { command(Command::StepOver); }},
        {"stepInto", "Step &Into", QKeySequence(Qt::Key_F11), [this] { command(Command::StepInto); }},
        {"stepOut", "Step O&ut", QKeySequence(Qt::SHIFT | Qt::Key_F11),
         [this] { command(Command::StepOut); }},
        {"pause", "&Pause", QKeySequence(), [this] { command(Command::Pause); }},
        {"stop", "S&top", QKeySequence(Qt::SHIFT | Qt::Key_F5), [this] { stop(); }},
        {"breakpoint", "Toggle &Breakpoint", QKeySequence(Qt::Key_F9), [this] { toggleAtCursor(); }},
    };
    for (const Item& item : items) {
        if (std::string_view(item.name) == "breakpoint")
            menu_->addSeparator();
        QAction* a = menu_->addAction(QString::fromLatin1(item.text));
        a->setShortcut(item.key);
        a->setShortcutContext(Qt::WindowShortcut);
        static_cast<QWidget&>(frame_).addAction(a); // the keys work with the menu closed
        connect(a, &QAction::triggered, this, item.run);
        actions_[QString::fromLatin1(item.name)] = a;
    }
    // Beside the Program menu, before Management.
    QAction* before = nullptr;
    const QList<QAction*> menus = frame_.menuBar()->actions();
    for (qsizetype i = 0; i + 1 < menus.size(); ++i)
        if (menus[i]->text() == QStringLiteral("&Program"))
            before = menus[i + 1];
    frame_.menuBar()->insertMenu(before, menu_);

    variables_ = new VariablesDock(&frame_);
    frame_.addDockWidget(Qt::RightDockWidgetArea, variables_);
    variables_->hide();
    consoleDock_ = new QDockWidget(QStringLiteral("Controller Output"), &frame_);
    consoleDock_->setObjectName(QStringLiteral("consoleDock"));
    console_ = new ConsoleView(consoleDock_);
    consoleDock_->setWidget(console_);
    frame_.addDockWidget(Qt::BottomDockWidgetArea, consoleDock_);
    consoleDock_->hide();

    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &DebugController::refreshTick);
    watch_.setInterval(kWatchMs);
    connect(&watch_, &QTimer::timeout, this, [this] {
        attachViews();
        updateMenu();
    });
    watch_.start();
    connect(frame_.mdiArea(), &QMdiArea::subWindowActivated, this, [this] {
        attachViews();
        showSession();
    });
    updateMenu();
    showSession();
}

DebugController::~DebugController()
{
    // The job uses the link and the jobs: it ends before they go.
    worker_.shutdown();
    if (link_.isConnected())
        link_.disconnect();
}

QAction* DebugController::action(const char* name) const
{
    auto it = actions_.find(QString::fromLatin1(name));
    return it == actions_.end() ? nullptr : it->second;
}

bool DebugController::hasBreakpoint(const CEditorDoc* doc, int line) const
{
    auto it = breakpoints_.find(doc);
    return it != breakpoints_.end() && it->second.count(line) != 0;
}

int DebugController::currentLine(const CEditorDoc* doc) const
{
    return doc && doc == doc_ ? session_.currentLine() : -1;
}

void DebugController::updateMenu()
{
    const bool offered = debugclient::debugChannelOffered(comPort_);
    menu_->menuAction()->setVisible(offered || worker_.running());
    showSession();
}

CEditorView* DebugController::viewOf(const CEditorDoc* doc) const
{
    CEditorFrame* active = frame_.activeFrame();
    if (active && &active->document() == doc)
        return active->view();
    for (QMdiSubWindow* w : frame_.mdiArea()->subWindowList())
        if (auto* f = qobject_cast<CEditorFrame*>(w); f && &f->document() == doc)
            return f->view();
    return nullptr;
}

void DebugController::attachViews()
{
    for (QMdiSubWindow* w : frame_.mdiArea()->subWindowList()) {
        auto* f = qobject_cast<CEditorFrame*>(w);
        if (!f || f->view()->grid()->property("debugMarks").toBool())
            continue;
        CGridCtrl* grid = f->view()->grid();
        CEditorDoc* doc = &f->document();
        grid->setItemDelegate(new DebugMarkDelegate(grid->itemDelegate(), *this, *doc, grid));
        grid->viewport()->installEventFilter(this);
        grid->setProperty("debugMarks", true);
        connect(doc, &CEditorDoc::edited, this, &DebugController::programEdited, Qt::UniqueConnection);
        connect(doc, &QObject::destroyed, this, [this, doc] {
            breakpoints_.erase(doc);
            // The window of the program being debugged closed: nothing is left to show its stops.
            if (worker_.running() && (!doc_ || doc_.data() == doc))
                stop();
        });
    }
}

void DebugController::repaintGrids(const CEditorDoc* doc)
{
    for (QMdiSubWindow* w : frame_.mdiArea()->subWindowList())
        if (auto* f = qobject_cast<CEditorFrame*>(w); f && (!doc || &f->document() == doc))
            f->view()->grid()->viewport()->update();
}

bool DebugController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress || !menu_->menuAction()->isVisible())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* grid = qobject_cast<CGridCtrl*>(watched->parent());
    auto* view = grid ? qobject_cast<CEditorView*>(grid->parentWidget()) : nullptr;
    if (!view || mouse->button() != Qt::LeftButton)
        return false;
    const QPoint at = mouse->position().toPoint();
    const GridTarget t = grid->targetAtPoint(at);
    // The dot's strip at the left of the line number toggles; the rest selects the line as ever.
    if (t.kind != GridTarget::Kind::LineNumber ||
        at.x() - grid->targetRect(t).left() >= DebugMarkDelegate::kDotZone)
        return false;
    toggleBreakpoint(&view->document(), t.line);
    return true;
}

void DebugController::toggleBreakpoint(CEditorDoc* doc, int line)
{
    if (!doc || line < 0 || line >= doc->program().count())
        return;
    std::set<int>& lines = breakpoints_[doc];
    if (doc == doc_ && session_.active()) {
        session_.setBreakpoints(lines);
        if (!session_.toggleBreakpoint(line)) {
            frame_.statusBar()->showMessage(QStringLiteral("The simulator did not take the breakpoint"));
            return;
        }
        lines = session_.breakpoints();
    } else if (!lines.erase(line)) {
        lines.insert(line);
    }
    repaintGrids(doc);
}

void DebugController::toggleAtCursor()
{
    CEditorView* view = frame_.activeView();
    if (!view)
        return;
    const GridTarget t = view->grid()->currentTarget();
    const int line = t.kind != GridTarget::Kind::None ? t.line : view->document().program().curLine();
    toggleBreakpoint(&view->document(), line);
}

void DebugController::startOrContinue()
{
    if (session_.state() == SessionState::Paused) {
        command(Command::Continue);
        return;
    }
    if (worker_.running()) {
        // An ended program is still being played: stop it and start again.
        if (!session_.active() && doc_) {
            restart_ = doc_;
            stop();
        }
        return;
    }
    CEditorFrame* active = frame_.activeFrame();
    if (active)
        start(&active->document());
}

void DebugController::start(CEditorDoc* doc)
{
    if (!debugclient::debugChannelOffered(comPort_)) {
        prompter_.message(QStringLiteral("COM%1 is not a simulator with a debug channel.").arg(comPort_));
        return;
    }
    // Check and generate first, as a download does: a program with errors is never sent.
    behaviour::BuildResult built = behaviour::buildProgram(doc->program());
    doc->refreshAll();
    if (!built.ok) {
        prompter_.message(QString::fromStdString(built.message));
        return;
    }
    std::string error;
    if (!socket_.open(debugclient::debugSocketPath(comPort_), &error)) {
        prompter_.message(
            QStringLiteral("Cannot reach the simulator's debug channel:\n%1").arg(fromBytes(error)));
        return;
    }
    doc_ = doc;
    stopping_ = false;
    notifier_ = std::make_unique<QSocketNotifier>(socket_.fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &DebugController::socketReadable);
    console_->clear();
    consoleDock_->show();
    variables_->show();
    frame_.statusBar()->showMessage(QStringLiteral("Downloading the program for debugging..."));
    worker_.start(
        [this, port = "COM" + std::to_string(comPort_), image = std::move(built.bytes)] {
            comm::MaintenanceResult r;
            if (!link_.connect(port)) {
                r.message = comm::kMsgCannotConnect;
                return r;
            }
            r = jobs_.downloadProgram(image);
            if (!r.ok && link_.isConnected())
                link_.disconnect();
            return r;
        },
        [this](const comm::MaintenanceResult& r) {
            if (!r.ok || stopping_ || !doc_)
                finished(r);
            else
                play();
        });
    refresh_.start();
    showSession();
}

void DebugController::play()
{
    session_.setBreakpoints(breakpoints_[doc_.data()]);
    std::string error;
    if (!session_.begin(doc_->program(), &error)) {
        prompter_.message(fromBytes(error));
        worker_.start(
            [this] {
                link_.disconnect();
                return comm::MaintenanceResult{};
            },
            [this](const comm::MaintenanceResult&) { finished({}); });
        return;
    }
    breakpoints_[doc_.data()] = session_.breakpoints(); // some may have moved to code
    repaintGrids(doc_);
    worker_.start(
        [this] {
            comm::MaintenanceResult r = jobs_.playProgram(worker_.stopFlag());
            if (link_.isConnected())
                link_.disconnect();
            return r;
        },
        [this](const comm::MaintenanceResult& r) { finished(r); });
    showSession();
}

void DebugController::finished(const comm::MaintenanceResult& result)
{
    refreshTick();
    refresh_.stop();
    notifier_.reset();
    socket_.close();
    session_.finish();
    const CEditorDoc* doc = doc_;
    doc_.clear();
    repaintGrids(doc);
    showSession();
    frame_.statusBar()->showMessage(QStringLiteral("Debugging ended"));
    if (!result.ok && !stopping_ && result.message != comm::kMsgNone)
        prompter_.message(dialogText(result.message));
    stopping_ = false;
    if (CEditorDoc* again = restart_.data()) {
        restart_.clear();
        start(again);
    }
}

void DebugController::command(Command c)
{
    std::string error;
    if (!session_.command(c, &error))
        frame_.statusBar()->showMessage(fromBytes(error));
    showSession();
}

void DebugController::stop()
{
    if (!worker_.running())
        return;
    stopping_ = true;
    worker_.requestStop();
    frame_.statusBar()->showMessage(QStringLiteral("Stopping..."));
}

void DebugController::socketReadable()
{
    if (!session_.poll())
        return;
    showSession();
    if (session_.state() == SessionState::Idle) // the simulator went away
        stop();
}

void DebugController::refreshTick()
{
    console_->append(worker_.takeConsoleText());
    if (++ticks_ % kVariablesEvery == 0 && session_.state() == SessionState::Running && session_.refresh())
        variables_->showSession(session_);
}

void DebugController::programEdited()
{
    if (sender() != doc_.data() || !session_.active() || asking_)
        return;
    asking_ = true;
    const bool stopNow = prompter_.askYesNo(
        QStringLiteral("The program has changed since it was sent to the controller, so the lines shown no "
                       "longer match what runs.\nStop debugging?"));
    asking_ = false;
    if (stopNow)
        stop();
}

void DebugController::showSession()
{
    const bool hasProgram = frame_.activeFrame() != nullptr;
    const bool shown = menu_->menuAction()->isVisible();
    const SessionState state = session_.state();
    const bool paused = state == SessionState::Paused;
    QAction* start = action("start");
    start->setText(paused ? QStringLiteral("&Continue") : QStringLiteral("&Start Debugging"));
    start->setEnabled(shown &&
                      (paused || (hasProgram && (!worker_.running() || state == SessionState::Ended ||
                                                 state == SessionState::Failed))));
    for (const char* step : {"stepOver", "stepInto", "stepOut"})
        action(step)->setEnabled(shown && paused);
    action("pause")->setEnabled(shown && state == SessionState::Running);
    action("stop")->setEnabled(shown && worker_.running());
    action("breakpoint")->setEnabled(shown && hasProgram);

    if (session_.state() != SessionState::Idle) {
        variables_->showSession(session_);
        // Said once per change, so the status bar's other messages are not overwritten each second.
        if (session_.statusText() != shownStatus_)
            frame_.statusBar()->showMessage(fromBytes(session_.statusText()));
    }
    shownStatus_ = session_.statusText();
    repaintGrids(doc_);
    // Scrolled to once per stop: the user may scroll away while it is paused.
    const int line = session_.currentLine();
    if (line != scrolledTo_)
        if (CEditorView* view = line >= 0 ? viewOf(doc_) : nullptr)
            view->grid()->scrollTo(view->grid()->model()->index(2 * line + 1, 1));
    scrolledTo_ = line;
}

} // namespace programmer
