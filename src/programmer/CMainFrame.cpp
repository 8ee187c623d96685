#include "programmer/CMainFrame.h"
#include "guikit/GuideWindow.h"
#include "platform/Version.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorFrame.h"
#include "programmer/CEditorView.h"
#include "programmer/CatalogueIcons.h"
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
    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::frameActivated);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::updateActions);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::updateActions);
    const WindowGeometry& g = settings_.window;
    resize(g.width, g.height);
    move(g.x, g.y);
    updateActions();
}

CMainFrame::~CMainFrame()
{
    // Closing the window moves the focus while the menus are being destroyed.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    disconnect(mdi_, nullptr, this, nullptr);
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
    connect(action("checkRule"), &QAction::triggered, this, [this] {
        if (auto* f = activeFrame())
            f->document().checkRule();
    });
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

    QMenu* view = menuBar()->addMenu("&View");
    addAction(view, "toolbar", "&Toolbar", {}, nullptr)->setCheckable(true);
    addAction(view, "statusBar", "&Status Bar", {}, nullptr)->setCheckable(true);

    windowMenu_ = menuBar()->addMenu("&Window");
    addAction(windowMenu_, "newWindow", "&New Window", {}, nullptr);
    connect(action("newWindow"), &QAction::triggered, this, [this] {
        if (auto* f = activeFrame())
            newWindow(f->document());
    });
    addAction(windowMenu_, "cascade", "&Cascade", {}, nullptr);
    connect(action("cascade"), &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
    addAction(windowMenu_, "tile", "&Tile", {}, nullptr);
    connect(action("tile"), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
    addAction(windowMenu_, "arrange", "&Arrange Icons", {}, &CMainFrame::arrangeIcons);

    QMenu* help = menuBar()->addMenu("&Help");
    addAction(help, "guide", "User &Guide", QKeySequence::HelpContents, nullptr);
    connect(action("guide"), &QAction::triggered, this, [this] { guikit::GuideWindow::showGuide(this); });
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
    new LockIndicators(statusBar()); // owned by the status bar
    action("statusBar")->setChecked(true);
    connect(action("statusBar"), &QAction::toggled, statusBar(), &QWidget::setVisible);
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
                if (i < settings_.recentFiles.size())
                    openFile(settings_.recentFiles[i]);
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
    for (const char* name :
         {"close", "save", "saveAs", "checkRule", "newWindow", "cascade", "tile", "arrange"})
        action(name)->setVisible(program);
    editMenu_->menuAction()->setVisible(program);
    windowMenu_->menuAction()->setVisible(program);
    action("save")->setEnabled(program);
    action("checkRule")->setEnabled(program);
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
    frame->resize(760, 420);
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
        path = prompter_.saveFile(text(Str::ProgramFilter),
                                  doc.path().isEmpty() ? settings_.documentPath : doc.path(), "tpg");
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

void CMainFrame::closeEvent(QCloseEvent* e)
{
    if (!closeAll()) {
        e->ignore();
        return;
    }
    e->accept();
}

void CMainFrame::frameActivated()
{
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
    prompter_.message(text(Str::AboutText).arg(QString::fromLatin1(platform::suiteVersion())));
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
    DialogContext context{{settings_.comPort, settings_.firmwarePath, settings_.motionDocPath}, prompter_};
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

void CMainFrame::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    if (!isMinimized() && !isMaximized()) {
        settings_.window.width = frameGeometry().width();
        settings_.window.height = frameGeometry().height();
    }
}

void CMainFrame::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    if (!isMinimized() && !isMaximized()) {
        settings_.window.x = frameGeometry().x();
        settings_.window.y = frameGeometry().y();
    }
}

} // namespace programmer
