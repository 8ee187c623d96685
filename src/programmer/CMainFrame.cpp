#include "programmer/CMainFrame.h"
#include "guikit/GuideWindow.h"
#include "platform/Version.h"

#include "guikit/Prompter.h"
#include "programmer/CEditorDoc.h"
#include "programmer/CEditorFrame.h"
#include "programmer/CEditorView.h"
#include "programmer/CGridCtrl.h"
#include "programmer/CatalogueIcons.h"
#include "programmer/DebugController.h"
#include "programmer/LineClipboard.h"
#include "programmer/LockIndicators.h"
#include "programmer/PlaceList.h"
#include "programmer/ProgramPrinter.h"
#include "programmer/ProgramText.h"
#include "programmer/dialogs/CKZ7RecoverSheet.h"
#include "programmer/dialogs/DownloadDialog.h"
#include "programmer/dialogs/FirmwareUpdateDialog.h"
#include "programmer/dialogs/MotionDataDialog.h"
#include "programmer/dialogs/ServoUpdateDialog.h"
#include "taskloom_base/ProgrammerTexts.h"
#include "taskloom_base/TaskloomSettings.h"

#include "behaviour/ProgramFile.h"
#include "behaviour/ProgramSearch.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
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

CMainFrame::CMainFrame(TaskloomSettings& settings, const motion::DeviceTable& devices,
                       guikit::Prompter& prompter, LineClipboard& clipboard, const QString& robotFolder,
                       QWidget* parent)
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
    buildPlaceDock();
    buildFindBar();
    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::frameActivated);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::updateActions);
    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::updateActions);
    // The settings hold the outer size; the frame around the window is only known once a window
    // manager has put it there (fitOuterSize).
    const WindowGeometry& g = settings_.window;
    outerSize_ = QSize(g.width, g.height);
    resize(outerSize_);
    move(g.x, g.y);
    // Shown when the chosen port is a simulator that offers its debugger.
    debug_ = new DebugController(*this, settings_.comPort, prompter_);
    updateActions();
}

CMainFrame::~CMainFrame()
{
    // The debugger listens to the window area and the documents, which go off as they are
    // destroyed; by then this frame is no longer whole. It goes first, while everything it
    // touches still stands.
    delete debug_;
    debug_ = nullptr;
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
    addAction(file, "print", "&Print...", QKeySequence::Print, &CMainFrame::printProgram);
    addAction(file, "exportPdf", "Export as P&DF...", {}, nullptr);
    connect(action("exportPdf"), &QAction::triggered, this, [this] { exportProgram("pdf"); });
    addAction(file, "exportPng", "Export as PN&G...", {}, nullptr);
    connect(action("exportPng"), &QAction::triggered, this, [this] { exportProgram("png"); });
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
    editMenu_->addSeparator();
    addAction(editMenu_, "find", "&Find...", QKeySequence::Find, nullptr);
    connect(action("find"), &QAction::triggered, this, [this] {
        findBar_->show();
        findText_->setFocus();
        findText_->selectAll();
    });
    addAction(editMenu_, "findUses", "Find &Uses", QKeySequence("Ctrl+Shift+U"), &CMainFrame::findUses);
    addAction(editMenu_, "goToLine", "&Go to Line...", QKeySequence("Ctrl+G"), nullptr);
    connect(action("goToLine"), &QAction::triggered, this, [this] {
        findBar_->show();
        if (CEditorView* v = activeView())
            lineBox_->setMaximum(v->document().program().count());
        lineBox_->setFocus();
        lineBox_->selectAll();
    });
    // The text box's own keys win over the menu's while it has the focus.
    for (const char* name : {"cut", "copy", "paste"})
        action(name)->setShortcutContext(Qt::WindowShortcut);

    QMenu* program = menuBar()->addMenu("&Program");
    addAction(program, "changeRobot", "&Change Robot file", {}, &CMainFrame::changeRobotFile);
    addAction(program, "checkRule", "Check &Rule", QKeySequence("Ctrl+R"), nullptr);
    connect(action("checkRule"), &QAction::triggered, this, &CMainFrame::checkRule);
    addAction(program, "nextPlace", "&Next Error or Place", QKeySequence(Qt::Key_F8), nullptr);
    connect(action("nextPlace"), &QAction::triggered, this, [this] { placeList_->step(true); });
    addAction(program, "previousPlace", "Pre&vious Error or Place", QKeySequence(Qt::SHIFT | Qt::Key_F8),
              nullptr);
    connect(action("previousPlace"), &QAction::triggered, this, [this] { placeList_->step(false); });
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
    view->addSeparator();
    const std::pair<const char*, std::pair<const char*, QKeySequence>> zooms[] = {
        {"zoomIn", {"Zoom &In", QKeySequence("Ctrl+=")}},
        {"zoomOut", {"Zoom &Out", QKeySequence("Ctrl+-")}},
        {"zoomReset", {"&Normal Size", QKeySequence("Ctrl+0")}},
    };
    for (const auto& [name, item] : zooms) {
        addAction(view, name, item.first, item.second, nullptr);
        const QString which = name;
        connect(action(name), &QAction::triggered, this, [this, which] {
            const int z = which == "zoomReset" ? 100
                          : which == "zoomIn"  ? settings_.zoom + ZoomStep
                                               : settings_.zoom - ZoomStep;
            setZoom(z);
        });
    }
    action("zoomIn")->setShortcuts({QKeySequence("Ctrl+="), QKeySequence("Ctrl++")});
    view->addSeparator();

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

void CMainFrame::buildPlaceDock()
{
    placeDock_ = new QDockWidget("Errors", this);
    placeDock_->setObjectName("placeDock");
    placeList_ = new PlaceList(placeDock_);
    placeDock_->setWidget(placeList_);
    addDockWidget(Qt::BottomDockWidgetArea, placeDock_);
    placeDock_->hide();
    QAction* toggle = placeDock_->toggleViewAction();
    toggle->setText("&List of Places");
    viewMenu_->addAction(toggle);
    actions_["placeList"] = toggle;
    connect(placeList_, &PlaceList::goTo, this, [this](const GridTarget& t) {
        if (CEditorView* v = activeView())
            v->goTo(t);
    });
}

void CMainFrame::buildFindBar()
{
    findBar_ = new QToolBar("Find", this);
    findBar_->setObjectName("findBar");
    findBar_->setMovable(false);
    addToolBar(Qt::BottomToolBarArea, findBar_);
    findBar_->addWidget(new QLabel(" Find: ", findBar_));
    findText_ = new QLineEdit(findBar_);
    findText_->setObjectName("findText");
    findText_->setPlaceholderText("a label, name, value or comment");
    findText_->setMinimumWidth(220);
    findBar_->addWidget(findText_);
    connect(findText_, &QLineEdit::returnPressed, this, [this] {
        if (!findText_->text().isEmpty() && findText_->text() == lastFound_ && placeList_->count() > 0)
            placeList_->step(true); // Enter again: the next place
        else
            findPlaces();
    });
    findBar_->addAction(action("findUses"));
    findBar_->addSeparator();
    findBar_->addWidget(new QLabel(" Go to line: ", findBar_));
    lineBox_ = new QSpinBox(findBar_);
    lineBox_->setObjectName("lineBox");
    lineBox_->setRange(1, behaviour::BehaviorProgram::Capacity);
    findBar_->addWidget(lineBox_);
    connect(lineBox_, &QSpinBox::editingFinished, this, [this] {
        if (CEditorView* v = activeView(); v && lineBox_->hasFocus())
            v->goTo({GridTarget::Kind::LineNumber, lineBox_->value() - 1, -1});
    });
    auto* close = new QAction("Close", findBar_);
    close->setShortcut(Qt::Key_Escape);
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(close, &QAction::triggered, this, [this] {
        findBar_->hide();
        if (CEditorView* v = activeView())
            v->grid()->setFocus();
    });
    findBar_->addAction(close);
    findBar_->hide();
}

void CMainFrame::showPlaces(const QString& title, const QString& whatHeader,
                            const std::vector<ListedPlace>& places)
{
    placeList_->setPlaces(whatHeader, places);
    placeDock_->setWindowTitle(title);
    placeDock_->setVisible(!places.empty());
    updateActions();
}

void CMainFrame::checkRule()
{
    CEditorFrame* f = activeFrame();
    if (!f)
        return;
    const CheckOutcome outcome = f->document().checkRule();
    prompter_.inform(outcome.message);
    f->document().refreshAll();
    // The count message stays; the list says where and why.
    std::vector<ListedPlace> places;
    for (const auto& p : outcome.problems) {
        const GridTarget t = p.line < 0   ? GridTarget{}
                             : p.cell < 0 ? GridTarget{GridTarget::Kind::LineNumber, p.line, -1}
                                          : GridTarget{GridTarget::Kind::Cell, p.line, p.cell};
        places.push_back({t, QString::fromUtf8(behaviour::problemText(p.problem))});
    }
    showPlaces(QString("Errors in %1").arg(f->document().title()), "Reason", places);
}

namespace {

GridTarget targetOf(const behaviour::FoundPlace& p)
{
    if (p.cell == behaviour::FoundPlace::LabelArea)
        return {GridTarget::Kind::Label, p.line, -1};
    if (p.cell == behaviour::FoundPlace::CommentArea)
        return {GridTarget::Kind::Comment, p.line, -1};
    return {GridTarget::Kind::Cell, p.line, p.cell};
}

} // namespace

std::vector<ListedPlace> CMainFrame::listed(const std::vector<behaviour::FoundPlace>& found) const
{
    const auto& program = activeFrame()->document().program();
    std::vector<ListedPlace> places;
    for (const auto& p : found) {
        const auto& line = program.line(p.line);
        const std::string& what = p.cell == behaviour::FoundPlace::LabelArea ? line.label
                                  : p.cell == behaviour::FoundPlace::CommentArea
                                      ? line.comment
                                      : line.cells[static_cast<size_t>(p.cell)].fullText;
        places.push_back({targetOf(p), fromProgramText(what)});
    }
    return places;
}

void CMainFrame::findPlaces()
{
    CEditorFrame* f = activeFrame();
    if (!f)
        return;
    lastFound_ = findText_->text();
    QString refusal;
    const auto needle = toProgramText(lastFound_, &refusal);
    const auto found =
        needle ? behaviour::findText(f->document().program(), *needle) : std::vector<behaviour::FoundPlace>{};
    showPlaces(
        QString("Found \u201c%1\u201d in %2: %3").arg(lastFound_, f->document().title()).arg(found.size()),
        "Text", listed(found));
    if (found.empty())
        statusBar()->showMessage(
            QString("\u201c%1\u201d is not in %2.").arg(lastFound_, f->document().title()), 5000);
    else
        placeList_->step(true);
    findText_->setFocus();
}

void CMainFrame::findUses()
{
    CEditorView* v = activeView();
    if (!v)
        return;
    const GridTarget t = v->grid()->currentTarget();
    const behaviour::FoundPlace at{t.line,
                                   t.kind == GridTarget::Kind::Label  ? behaviour::FoundPlace::LabelArea
                                   : t.kind == GridTarget::Kind::Cell ? t.index
                                                                      : behaviour::FoundPlace::CommentArea};
    const std::string name = behaviour::nameAt(v->document().program(), at);
    if (name.empty()) {
        statusBar()->showMessage("Put the highlight on a label or a name to find its uses.", 5000);
        return;
    }
    const auto found = behaviour::findUses(v->document().program(), name);
    showPlaces(QString("Uses of \u201c%1\u201d in %2: %3")
                   .arg(fromProgramText(name), v->document().title())
                   .arg(found.size()),
               "Text", listed(found));
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
    for (const char* name :
         {"close", "saveAs", "print", "exportPdf", "exportPng", "newWindow", "cascade", "tile", "arrange"})
        action(name)->setVisible(program);
    CEditorFrame* f = activeFrame();
    programPane_->setText(f ? f->windowTitle().replace("[*]", f->isWindowModified() ? "*" : "") : QString());
    editMenu_->menuAction()->setVisible(program);
    windowMenu_->menuAction()->setVisible(program);
    action("save")->setEnabled(program);
    action("checkRule")->setEnabled(program);
    for (const char* name : {"nextPlace", "previousPlace"})
        action(name)->setEnabled(program && placeList_->count() > 0);
    for (const char* name : {"find", "findUses", "goToLine"})
        action(name)->setEnabled(program);
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

void CMainFrame::printProgram()
{
    CEditorFrame* f = activeFrame();
    if (!f)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(f->document().title());
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (ProgramPrinter(*f->view()->grid(), f->document().title()).print(printer) == 0)
        prompter_.inform(text(Str::PrintFailed));
}

bool CMainFrame::exportProgram(const QString& kind)
{
    CEditorFrame* f = activeFrame();
    if (!f)
        return false;
    CEditorDoc& doc = f->document();
    const QString base = doc.path().isEmpty() ? settings_.documentPath : doc.path();
    const QString start =
        base.isEmpty() ? doc.title() + "." + kind
                       : QFileInfo(base).path() + "/" + QFileInfo(base).completeBaseName() + "." + kind;
    QString path = prompter_.saveFile(text(kind == "pdf" ? Str::PdfFilter : Str::PngFilter), start, kind);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += "." + kind;
    const ProgramPrinter printer(*f->view()->grid(), doc.title());
    // Every file is written whole beside its place and then renamed over it.
    std::vector<std::pair<QString, QByteArray>> files;
    int pages = 0;
    if (kind == "pdf") {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter pdf(&buffer);
            pdf.setTitle(doc.title());
            pdf.setCreator(text(Str::Title));
            pdf.setPageSize(QPageSize(QPageSize::A4));
            pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
            pdf.setResolution(300);
            pages = printer.print(pdf);
            if (pages == 0) {
                prompter_.inform(text(Str::PrintFailed));
                return false;
            }
        }
        files.push_back({path, buffer.data()});
    } else {
        // One picture per page: NAME.png, NAME-2.png, ...
        const auto pictures = printer.pictures(150);
        pages = static_cast<int>(pictures.size());
        for (size_t i = 0; i < pictures.size(); ++i) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            pictures[i].save(&buffer, "PNG");
            const QFileInfo at(path);
            files.push_back(
                {i == 0 ? path
                        : at.path() + "/" + at.completeBaseName() + QString("-%1.").arg(i + 1) + at.suffix(),
                 buffer.data()});
        }
    }
    for (const auto& [name, bytes] : files) {
        const std::vector<uint8_t> data(bytes.begin(), bytes.end());
        const behaviour::SaveResult r = behaviour::saveBytesFile(name.toStdString(), data);
        if (!r.ok) {
            prompter_.inform(QString::fromStdString(r.message));
            return false;
        }
    }
    statusBar()->showMessage(QString("%1: %2 page(s) exported to %3").arg(doc.title()).arg(pages).arg(path),
                             5000);
    return true;
}

void CMainFrame::setZoom(int percent)
{
    // One scale for every grid, kept for the next start.
    settings_.zoom = std::clamp(percent, MinZoom, MaxZoom);
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* f = qobject_cast<CEditorFrame*>(w))
            f->view()->grid()->setZoom(settings_.zoom);
    statusBar()->showMessage(QString("Zoom %1%").arg(settings_.zoom), 2000);
}

CEditorFrame* CMainFrame::newWindow(CEditorDoc& doc)
{
    auto* view = new CEditorView(doc, devices_, prompter_, clipboard_);
    view->grid()->setZoom(settings_.zoom);
    auto* frame = new CEditorFrame(view);
    attachFrame(frame);
    connect(frame, &QObject::destroyed, windowWatch_, [this, &doc] { numberViews(doc); });
    numberViews(doc);
    return frame;
}

std::unique_ptr<CEditorDoc> CMainFrame::makeDocument()
{
    // The document's questions (an edit that needs an OK) are the frame's boxes.
    return std::make_unique<CEditorDoc>(
        [this](const QString& question) { return prompter_.confirm(question); }, this);
}

CEditorFrame* CMainFrame::newDocument()
{
    return newWindow(*makeDocument().release());
}

bool CMainFrame::openFile(const QString& path)
{
    switch (fileType(path)) {
    case FileType::Motion:
        openControllerDialog(ControllerDialog::RobotMotion, path);
        return true;
    case FileType::Other:
        prompter_.inform(text(Str::NotProgramFile));
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
    std::unique_ptr<CEditorDoc> doc = makeDocument();
    if (const DocumentResult opened = doc->open(canonical); !opened.ok) {
        prompter_.inform(opened.message);
        return false;
    }
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
    if (const DocumentResult saved = doc.saveTo(path); !saved.ok) {
        prompter_.inform(saved.message);
        return false;
    }
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
    case guikit::SaveAnswer::Cancel:
        return false;
    case guikit::SaveAnswer::Save:
        if (!saveDocument(doc, false))
            return false;
        break;
    case guikit::SaveAnswer::Discard:
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
    prompter_.inform(text(Str::RobotFileChanged));
}

void CMainFrame::about()
{
    prompter_.inform(text(Str::AboutText).arg(QString::fromLatin1(platform::suiteVersion())));
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
