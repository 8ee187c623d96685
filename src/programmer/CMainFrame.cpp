#include "programmer/CMainFrame.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorFrame.h"
#include "programmer/CEditorView.h"
#include "programmer/CatalogueIcons.h"
#include "programmer/ErrorList.h"
#include "programmer/LineClipboard.h"
#include "programmer/LockIndicators.h"
#include "programmer/ProgrammerTexts.h"
#include "programmer/Prompter.h"
#include "programmer/TaskloomSettings.h"
#include "programmer/dialogs/CKZ7RecoverSheet.h"
#include "programmer/dialogs/DownloadDialog.h"
#include "programmer/dialogs/FirmwareUpdateDialog.h"
#include "programmer/dialogs/MotionDataDialog.h"
#include "programmer/dialogs/ServoUpdateDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

namespace programmer {

namespace {

enum class FileType { Program, Motion, Other };

FileType fileType(const QString& path)
{
    const QString end = path.right(3).toLower();
    if (end == "tpg")
        return FileType::Program;
    if (end == "mtn")
        return FileType::Motion;
    return FileType::Other;
}

} // namespace

CMainFrame::CMainFrame(TaskloomSettings& settings, const motion::DeviceTable& devices, Prompter& prompter,
                       LineClipboard& clipboard, const QString& robotFolder, QWidget* parent)
    : QMainWindow(parent), settings_(settings), devices_(devices), prompter_(prompter), clipboard_(clipboard),
      robotFolder_(robotFolder)
{
    setWindowTitle(text(Str::Title));
    setAcceptDrops(true);
    mdi_ = new QMdiArea(this);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setBackground(QColor(112, 120, 132));
    setCentralWidget(mdi_);
    buildMenus();
    buildToolBar();
    buildStatusBar();
    buildErrorDock();
    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::frameActivated);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::updateActions);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::updateActions);
    // The settings hold the outer size; the frame around the window is only known once a window
    // manager has put it there (fitOuterSize).
    const WindowGeometry& g = settings_.window;
    outerSize_ = QSize(g.width, g.height);
    resize(outerSize_);
    move(g.x, g.y);
    updateActions();
}

CMainFrame::~CMainFrame()
{
    // Closing the window moves the focus while the menus are being destroyed.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    disconnect(mdi_, nullptr, this, nullptr);
    // Closed windows may still wait for their deferred deletion.
    delete windowWatch_;
}

QAction* CMainFrame::addAction(QMenu* menu, const QString& name, const QString& label,
                               const QKeySequence& key, void (CMainFrame::*slot)())
{
    auto* a = menu->addAction(label);
    if (!key.isEmpty())
        a->setShortcut(key);
    if (slot)
        connect(a, &QAction::triggered, this, slot);
    actions_[name] = a;
    return a;
}

QAction* CMainFrame::action(const QString& name) const
{
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

template <typename F> void CMainFrame::onView(F f)
{
    if (CEditorView* v = activeView())
        f(*v);
    updateActions();
}

void CMainFrame::buildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    addAction(file, "new", "&New", QKeySequence("Ctrl+N"), nullptr);
    connect(action("new"), &QAction::triggered, this, [this] { newDocument(); });
    addAction(file, "open", "&Open...", QKeySequence("Ctrl+O"), &CMainFrame::fileOpen);
    addAction(file, "close", "&Close", {}, nullptr);
    connect(action("close"), &QAction::triggered, this, [this] {
        if (auto* f = activeFrame())
            f->close();
    });
    addAction(file, "save", "&Save", QKeySequence("Ctrl+S"), nullptr);
    connect(action("save"), &QAction::triggered, this, [this] { save(); });
    addAction(file, "saveAs", "Save &As...", {}, nullptr);
    connect(action("saveAs"), &QAction::triggered, this, [this] { saveAs(); });
    file->addSeparator();
    recentMenu_ = file;
    recentSeparator_ = file->addSeparator();
    addAction(file, "exit", "E&xit", {}, nullptr);
    connect(action("exit"), &QAction::triggered, this, &QWidget::close);
    updateRecentMenu();

    editMenu_ = menuBar()->addMenu("&Edit");
    addAction(editMenu_, "undo", "&Undo", QKeySequence::Undo, nullptr);
    connect(action("undo"), &QAction::triggered, this, [this] { onView([](CEditorView& v) { v.undo(); }); });
    addAction(editMenu_, "redo", "&Redo", QKeySequence("Ctrl+Y"), nullptr);
    action("redo")->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
    connect(action("redo"), &QAction::triggered, this, [this] { onView([](CEditorView& v) { v.redo(); }); });
    editMenu_->addSeparator();
    addAction(editMenu_, "cut", "Cu&t", QKeySequence("Ctrl+X"), nullptr);
    connect(action("cut"), &QAction::triggered, this, [this] { onView([](CEditorView& v) { v.cut(); }); });
    addAction(editMenu_, "copy", "&Copy", QKeySequence("Ctrl+C"), nullptr);
    connect(action("copy"), &QAction::triggered, this, [this] { onView([](CEditorView& v) { v.copy(); }); });
    addAction(editMenu_, "paste", "&Paste", QKeySequence("Ctrl+V"), nullptr);
    connect(action("paste"), &QAction::triggered, this,
            [this] { onView([](CEditorView& v) { v.paste(); }); });
    addAction(editMenu_, "insertLine", "&Insert Line", QKeySequence("Ctrl+I"), nullptr);
    connect(action("insertLine"), &QAction::triggered, this,
            [this] { onView([](CEditorView& v) { v.insertLines(); }); });
    // The grid handles Delete itself (in the line-number column), so the text box keeps its key.
    addAction(editMenu_, "deleteLine", "&Delete Line\tDel", {}, nullptr);
    connect(action("deleteLine"), &QAction::triggered, this,
            [this] { onView([](CEditorView& v) { v.deleteLines(); }); });
    addAction(editMenu_, "enableLine", "Enable/Disable Line", QKeySequence("Ctrl+E"), nullptr);
    connect(action("enableLine"), &QAction::triggered, this,
            [this] { onView([](CEditorView& v) { v.toggleEnabled(); }); });
    // The text box's own keys win over the menu's while it has the focus.
    for (const char* name : {"cut", "copy", "paste"})
        action(name)->setShortcutContext(Qt::WindowShortcut);

    QMenu* program = menuBar()->addMenu("&Program");
    addAction(program, "changeRobot", "&Change Robot file", {}, &CMainFrame::changeRobotFile);
    addAction(program, "checkRule", "Check &Rule", QKeySequence("Ctrl+R"), nullptr);
    connect(action("checkRule"), &QAction::triggered, this, &CMainFrame::checkRule);
    addAction(program, "nextError", "&Next Error", QKeySequence(Qt::Key_F8), nullptr);
    connect(action("nextError"), &QAction::triggered, this, [this] { errorList_->step(true); });
    addAction(program, "previousError", "Pre&vious Error", QKeySequence(Qt::SHIFT | Qt::Key_F8), nullptr);
    connect(action("previousError"), &QAction::triggered, this, [this] { errorList_->step(false); });
    addAction(program, "downloadPlay", "&Download/Play", QKeySequence("Ctrl+D"), nullptr);
    connect(action("downloadPlay"), &QAction::triggered, this,
            [this] { openControllerDialog(ControllerDialog::DownloadPlay); });

    QMenu* manage = menuBar()->addMenu("&Management");
    const std::pair<const char*, std::pair<const char*, ControllerDialog>> dialogs[] = {
        {"recover", {"Recovery KZ-7 (&R)", ControllerDialog::RecoverKz7}},
        {"updateKz7", {"Update KZ-7 (&U)", ControllerDialog::UpdateKz7}},
        {"updateVq", {"Update VQ (&A)", ControllerDialog::UpdateVq}},
        {"robotMotion", {"Robot Motion (&M)", ControllerDialog::RobotMotion}},
    };
    for (const auto& [name, item] : dialogs) {
        const ControllerDialog which = item.second;
        addAction(manage, name, item.first, {}, nullptr);
        connect(action(name), &QAction::triggered, this, [this, which] { openControllerDialog(which); });
    }

    QMenu* view = viewMenu_ = menuBar()->addMenu("&View");
    addAction(view, "toolbar", "&Toolbar", {}, nullptr)->setCheckable(true);
    addAction(view, "statusBar", "&Status Bar", {}, nullptr)->setCheckable(true);

    windowMenu_ = menuBar()->addMenu("&Window");
    addAction(windowMenu_, "newWindow", "&New Window", {}, nullptr);
    connect(action("newWindow"), &QAction::triggered, this, [this] {
        if (auto* f = activeFrame())
            newWindow(f->document());
    });
    addAction(windowMenu_, "cascade", "&Cascade", {}, nullptr);
    connect(action("cascade"), &QAction::triggered, this, &CMainFrame::cascade);
    addAction(windowMenu_, "tile", "&Tile", {}, nullptr);
    connect(action("tile"), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
    addAction(windowMenu_, "arrange", "&Arrange Icons", {}, &CMainFrame::arrangeIcons);
    connect(windowMenu_, &QMenu::aboutToShow, this, &CMainFrame::fillWindowMenu);

    QMenu* help = menuBar()->addMenu("&Help");
    addAction(help, "about", "About Taskloom", {}, &CMainFrame::about);
}

void CMainFrame::buildToolBar()
{
    auto* bar = addToolBar("Standard");
    bar->setObjectName("Standard");
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(true);
    const std::pair<const char*, const char*> buttons[] = {
        {"new", "New"},
        {"open", "Open"},
        {"save", "Save"},
        {nullptr, nullptr},
        {"cut", "Cut"},
        {"copy", "Copy"},
        {"paste", "Paste"},
        {nullptr, nullptr},
        {"undo", "Undo"},
        {"redo", "Redo"},
        {nullptr, nullptr},
        {"checkRule", "Check Rule"},
        {"downloadPlay", "Download/Play"},
        {nullptr, nullptr},
        {"about", "About"},
    };
    for (const auto& [name, tip] : buttons) {
        if (!name) {
            bar->addSeparator();
            continue;
        }
        QAction* a = action(name);
        a->setIcon(toolbarIcon(name));
        a->setToolTip(tip);
        bar->addAction(a);
    }
    action("toolbar")->setChecked(true);
    connect(action("toolbar"), &QAction::toggled, bar, &QToolBar::setVisible);
}

void CMainFrame::buildStatusBar()
{
    statusBar()->showMessage("Ready");
    // A menu's item hints replace the message and leave it empty when the menu closes.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& m) {
        if (m.isEmpty())
            statusBar()->showMessage("Ready");
    });
    // The caption stays the application's; the active program's name shows here, so it is seen
    // while its window is maximised too.
    programPane_ = new QLabel(statusBar());
    programPane_->setObjectName("programPane");
    statusBar()->addPermanentWidget(programPane_);
    new LockIndicators(statusBar()); // owned by the status bar
    action("statusBar")->setChecked(true);
    connect(action("statusBar"), &QAction::toggled, statusBar(), &QWidget::setVisible);
}

void CMainFrame::buildErrorDock()
{
    errorDock_ = new QDockWidget("Errors", this);
    errorDock_->setObjectName("errorDock");
    errorList_ = new ErrorList(errorDock_);
    errorDock_->setWidget(errorList_);
    addDockWidget(Qt::BottomDockWidgetArea, errorDock_);
    errorDock_->hide();
    QAction* toggle = errorDock_->toggleViewAction();
    toggle->setText("&Errors");
    viewMenu_->addAction(toggle);
    actions_["errors"] = toggle;
    connect(errorList_, &ErrorList::goTo, this, [this](int line, int cell) {
        if (CEditorView* v = activeView())
            v->goTo(line, cell);
    });
}

void CMainFrame::checkRule()
{
    CEditorFrame* f = activeFrame();
    if (!f)
        return;
    // The count message stays; the list says where and why.
    const auto problems = f->document().checkRule();
    errorList_->setProblems(problems);
    errorDock_->setWindowTitle(QString("Errors in %1").arg(f->document().title()));
    errorDock_->setVisible(!problems.empty());
    updateActions();
}

void CMainFrame::updateRecentMenu()
{
    for (int i = 0; i < RecentFileCount; ++i) {
        const QString name = QString("recent%1").arg(i + 1);
        QAction* a = action(name);
        if (!a) {
            a = new QAction(this);
            recentMenu_->insertAction(recentSeparator_, a);
            actions_[name] = a;
            connect(a, &QAction::triggered, this, [this, i] {
                if (i >= settings_.recentFiles.size())
                    return;
                // A file that no longer opens (gone, renamed, damaged) leaves the list.
                const QString path = settings_.recentFiles[i];
                if (!openFile(path)) {
                    settings_.recentFiles.removeAll(path);
                    updateRecentMenu();
                }
            });
        }
        const bool used = i < settings_.recentFiles.size();
        a->setVisible(used);
        if (used)
            a->setText(QString("&%1 %2").arg(i + 1).arg(settings_.recentFiles[i]));
    }
    recentSeparator_->setVisible(!settings_.recentFiles.isEmpty());
}

CEditorFrame* CMainFrame::activeFrame() const
{
    return qobject_cast<CEditorFrame*>(mdi_->activeSubWindow());
}

CEditorView* CMainFrame::activeView() const
{
    CEditorFrame* f = activeFrame();
    return f ? f->view() : nullptr;
}

void CMainFrame::updateActions()
{
    CEditorView* v = activeView();
    const bool program = v != nullptr;
    // Save and Check Rule stay (greyed) so the toolbar's buttons do not move.
    for (const char* name : {"close", "saveAs", "newWindow", "cascade", "tile", "arrange"})
        action(name)->setVisible(program);
    CEditorFrame* f = activeFrame();
    programPane_->setText(f ? f->windowTitle().replace("[*]", f->isWindowModified() ? "*" : "") : QString());
    editMenu_->menuAction()->setVisible(program);
    windowMenu_->menuAction()->setVisible(program);
    action("save")->setEnabled(program);
    action("checkRule")->setEnabled(program);
    for (const char* name : {"nextError", "previousError"})
        action(name)->setEnabled(program && !errorList_->problems().empty());
    action("cut")->setEnabled(program && v->canCutOrCopy());
    action("copy")->setEnabled(program && v->canCutOrCopy());
    action("paste")->setEnabled(program && v->canPaste());
    for (const char* name : {"insertLine", "deleteLine", "enableLine"})
        action(name)->setEnabled(program && v->hasSelection());
    action("undo")->setEnabled(program && v->document().canUndo());
    action("redo")->setEnabled(program && v->document().canRedo());
}

void CMainFrame::attachFrame(CEditorFrame* frame)
{
    frame->setCloseGuard([this](CEditorFrame* f) { return frameMayClose(f); });
    connect(frame->view(), &CEditorView::editStateChanged, this, &CMainFrame::updateActions);
    connect(frame->view(), &CEditorView::editMenuRequested, this, &CMainFrame::showEditMenu);
    mdi_->addSubWindow(frame);
    frame->setGeometry(cascadeSlot(static_cast<int>(mdi_->subWindowList().size()) - 1));
    connect(frame, &CEditorFrame::windowTitleChanged, this, &CMainFrame::updateActions);
    connect(&frame->document(), &CEditorDoc::modifiedChanged, this, &CMainFrame::updateActions);
    if (!firstFrameShown_) {
        firstFrameShown_ = true;
        frame->showMaximized();
    } else {
        frame->show();
    }
    mdi_->setActiveSubWindow(frame);
    updateActions();
}

CEditorFrame* CMainFrame::newWindow(CEditorDoc& doc)
{
    auto* view = new CEditorView(doc, devices_, prompter_, clipboard_);
    auto* frame = new CEditorFrame(view);
    attachFrame(frame);
    connect(frame, &QObject::destroyed, windowWatch_, [this, &doc] { numberViews(doc); });
    numberViews(doc);
    return frame;
}

CEditorFrame* CMainFrame::newDocument()
{
    auto* doc = new CEditorDoc(prompter_, this);
    return newWindow(*doc);
}

bool CMainFrame::openFile(const QString& path)
{
    switch (fileType(path)) {
    case FileType::Motion:
        openControllerDialog(ControllerDialog::RobotMotion, path);
        return true;
    case FileType::Other:
        prompter_.message(text(Str::NotProgramFile));
        return false;
    case FileType::Program:
        break;
    }
    const QString canonical = QFileInfo(path).absoluteFilePath();
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* f = qobject_cast<CEditorFrame*>(w); f && f->document().path() == canonical) {
            mdi_->setActiveSubWindow(f);
            return true;
        }
    // A file that does not load opens no window: an empty window under its name could be saved
    // over the file.
    auto doc = std::make_unique<CEditorDoc>(prompter_, this);
    if (!doc->open(canonical))
        return false;
    settings_.recentFiles = withRecent(settings_.recentFiles, canonical);
    updateRecentMenu();
    newWindow(*doc.release());
    return true;
}

void CMainFrame::fileOpen()
{
    const QString path = prompter_.openFile(text(Str::ProgramFilter), settings_.documentPath);
    if (path.isEmpty())
        return;
    settings_.documentPath = path;
    openFile(path);
}

bool CMainFrame::saveDocument(CEditorDoc& doc, bool askName)
{
    QString path = doc.path();
    if (askName || path.isEmpty()) {
        path = programSavePath(prompter_.saveFile(
            text(Str::ProgramFilter), doc.path().isEmpty() ? settings_.documentPath : doc.path(), "tpg"));
        if (path.isEmpty())
            return false;
        settings_.documentPath = path;
    }
    if (!doc.saveTo(path))
        return false;
    settings_.recentFiles = withRecent(settings_.recentFiles, doc.path());
    updateRecentMenu();
    return true;
}

bool CMainFrame::save()
{
    CEditorFrame* f = activeFrame();
    return f && saveDocument(f->document(), false);
}

bool CMainFrame::saveAs()
{
    CEditorFrame* f = activeFrame();
    return f && saveDocument(f->document(), true);
}

bool CMainFrame::frameMayClose(CEditorFrame* frame)
{
    CEditorDoc& doc = frame->document();
    int views = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* f = qobject_cast<CEditorFrame*>(w); f && &f->document() == &doc)
            ++views;
    // The document goes with its last window, after the window (its view reads the program).
    auto release = [&] { connect(frame, &QObject::destroyed, &doc, &QObject::deleteLater); };
    if (views > 1 || !doc.isModified()) {
        if (views <= 1)
            release();
        return true;
    }
    switch (prompter_.askSave(text(Str::SaveChanges).arg(doc.title()))) {
    case SaveAnswer::Cancel:
        return false;
    case SaveAnswer::Save:
        if (!saveDocument(doc, false))
            return false;
        break;
    case SaveAnswer::Discard:
        break;
    }
    release();
    return true;
}

bool CMainFrame::closeAll()
{
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        w->close();
        if (mdi_->subWindowList().contains(w) && w->isVisible())
            return false;
    }
    return mdi_->subWindowList().isEmpty();
}

bool CMainFrame::event(QEvent* e)
{
    // A maximised program window would write its name into the caption, which stays the
    // application's title.
    if (e->type() == QEvent::WindowTitleChange && windowTitle() != text(Str::Title))
        setWindowTitle(text(Str::Title));
    return QMainWindow::event(e);
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    if (!closeAll()) {
        e->ignore();
        return;
    }
    e->accept();
}

QString CMainFrame::programSavePath(const QString& chosen)
{
    if (chosen.isEmpty() || fileType(chosen) == FileType::Program)
        return chosen;
    // Open takes only ".tpg" files: a name without an extension gets it, another extension only
    // when the user says so.
    const QString withExtension = chosen + ".tpg";
    if (!QFileInfo(chosen).suffix().isEmpty() &&
        !prompter_.askYesNo(
            text(Str::AddExtension).arg(QFileInfo(chosen).fileName(), QFileInfo(withExtension).fileName())))
        return chosen;
    if (QFileInfo::exists(withExtension) &&
        !prompter_.confirm(text(Str::ReplaceFile).arg(QFileInfo(withExtension).fileName())))
        return {};
    return withExtension;
}

QRect CMainFrame::cascadeSlot(int n) const
{
    // Big enough to work in (three quarters of the area, at least 480 x 320 where the area has
    // it), stepped down and right, and starting over before a window would leave the area.
    const QSize area = mdi_->viewport()->size();
    const QSize size(std::min(area.width(), std::max(area.width() * 3 / 4, 480)),
                     std::min(area.height(), std::max(area.height() * 3 / 4, 320)));
    constexpr int Step = 28;
    const int room = std::max(
        1, std::min((area.width() - size.width()) / Step, (area.height() - size.height()) / Step) + 1);
    const int k = n % room;
    return QRect(QPoint(k * Step, k * Step), size);
}

void CMainFrame::cascade()
{
    int n = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (w->isMinimized())
            continue;
        w->showNormal();
        w->setGeometry(cascadeSlot(n++));
        w->raise();
    }
    if (QMdiSubWindow* active = mdi_->activeSubWindow())
        active->raise();
}

void CMainFrame::numberViews(const CEditorDoc& doc)
{
    // Two windows of one program are told apart as "name:1", "name:2".
    QList<CEditorFrame*> views;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder))
        if (auto* f = qobject_cast<CEditorFrame*>(w); f && &f->document() == &doc)
            views << f;
    for (int i = 0; i < views.size(); ++i)
        views[i]->setViewNumber(views.size() > 1 ? i + 1 : 0);
    updateActions();
}

void CMainFrame::fillWindowMenu()
{
    for (QAction* a : windowList_)
        windowMenu_->removeAction(a);
    qDeleteAll(windowList_);
    windowList_.clear();
    windowList_ << windowMenu_->addSeparator();
    int n = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        QString title = w->windowTitle().replace("[*]", w->isWindowModified() ? "*" : "");
        QAction* a = windowMenu_->addAction(QString("&%1 %2").arg(++n).arg(title));
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { mdi_->setActiveSubWindow(w); });
        windowList_ << a;
    }
}

void CMainFrame::frameActivated()
{
    // A popup left open in a window that is no longer active would later store into a line the
    // user no longer sees.
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* f = qobject_cast<CEditorFrame*>(w); f && w != mdi_->activeSubWindow())
            f->view()->hidePopups();
    updateActions();
}

void CMainFrame::showEditMenu(const QPoint& globalPos)
{
    updateActions();
    editMenu_->popup(globalPos);
}

void CMainFrame::arrangeIcons()
{
    int x = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (w->isMinimized()) {
            w->move(x, mdi_->viewport()->height() - w->height());
            x += w->width();
        }
}

void CMainFrame::changeRobotFile()
{
    const QString path = prompter_.openFile(text(Str::RobotFilter), robotFolder_ + settings_.robotProfile);
    if (path.isEmpty())
        return;
    settings_.robotProfile = QFileInfo(path).fileName();
    prompter_.message(text(Str::RobotFileChanged));
}

void CMainFrame::about()
{
    prompter_.message(text(Str::AboutText));
}

void CMainFrame::clearMotionPreset()
{
    motionPreset_ = false;
    motionPresetPath_.clear();
}

void CMainFrame::openControllerDialog(ControllerDialog which, const QString& mtnPreset)
{
    lastDialog_ = which;
    if (which == ControllerDialog::RobotMotion && !mtnPreset.isEmpty()) {
        motionPreset_ = true;
        motionPresetPath_ = mtnPreset;
    }
    emit controllerDialogRequested(which, mtnPreset);

    // Each dialog owns its controller link and shares the saved port and paths; it is modal to
    // this window and goes away when it closes.
    DialogContext context{
        {settings_.comPort, settings_.firmwarePath, settings_.motionDocPath, settings_.checkFirmware},
        prompter_};
    QPointer<CEditorDoc> document;
    QDialog* dialog = nullptr;
    switch (which) {
    case ControllerDialog::DownloadPlay:
        if (CEditorFrame* f = activeFrame())
            document = &f->document();
        dialog = new DownloadDialog(context, document ? document->title() : QString(),
                                    document ? &document->program() : nullptr, this);
        break;
    case ControllerDialog::RecoverKz7:
        dialog = new CKZ7RecoverSheet(context, this);
        break;
    case ControllerDialog::UpdateKz7:
        dialog = new FirmwareUpdateDialog(context, this);
        break;
    case ControllerDialog::UpdateVq:
        dialog = new ServoUpdateDialog(context, this);
        break;
    case ControllerDialog::RobotMotion:
        dialog = new MotionDataDialog(context, motionPreset_ ? motionPresetPath_ : QString(), this);
        break;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, document] {
        // The preset is used up with the dialog; the download's rule check marked cells.
        clearMotionPreset();
        if (document)
            document->refreshAll();
    });
    dialog->open();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e)
{
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            openFile(url.toLocalFile());
    e->acceptProposedAction();
}

void CMainFrame::fitOuterSize()
{
    // The window was created with the outer size as its inner size: once the window manager's
    // frame is known, the inner size is made smaller by it, so the window does not grow by a
    // frame at every start.
    const QSize frame = frameGeometry().size() - size();
    if (!outerSizePending_ || !isVisible() || frame.isEmpty())
        return;
    outerSizePending_ = false;
    if (!isMinimized() && !isMaximized())
        resize(outerSize_ - frame);
}

void CMainFrame::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    fitOuterSize();
    if (!isMinimized() && !isMaximized()) {
        settings_.window.width = frameGeometry().width();
        settings_.window.height = frameGeometry().height();
    }
}

void CMainFrame::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    fitOuterSize();
    if (!isMinimized() && !isMaximized()) {
        settings_.window.x = frameGeometry().x();
        settings_.window.y = frameGeometry().y();
    }
}

} // namespace programmer
