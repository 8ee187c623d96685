#include "terminal/MainWindow.h"
#include "guikit/GuideWindow.h"
#include "platform/Version.h"

#include "termcore/TerminalTexts.h"
#include "terminal/ColorSetupDialog.h"
#include "terminal/FindBar.h"
#include "terminal/QtBridge.h"
#include "terminal/RecentMenu.h"
#include "terminal/SendMenu.h"
#include "terminal/SerialSetupDialog.h"
#include "terminal/TerminalStatusBar.h"
#include "terminal/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace terminal {

namespace texts = termcore::texts;
using termcore::KeyCommand;
using termcore::SessionSettings;

namespace {
const char* kLogFilters = "Log file (*.log);;All file (*)";

} // namespace

MainWindow::MainWindow(Prompter& prompter, const WindowOptions& options, QWidget* parent)
    : QMainWindow(parent), prompter_(prompter), session_(prompter, *this)
{
    setWindowTitle(QString::fromLatin1(texts::kTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFocusPolicy(Qt::StrongFocus);

    status_ = new TerminalStatusBar(this);
    setStatusBar(status_);

    session_.load(options.configPath.empty() ? termcore::TerminalConfig::defaultPath() : options.configPath);
    const SessionSettings& settings = session_.settings();
    buildMenus();

    view_ = new TerminalView(screen_, chooseTerminalFont(settings.fontPixels), settings.columns,
                             settings.rows, this);
    if (!view_->createScreen(kColumns, kRows)) {
        prompter_.error(texts::kScreenFailed);
        return;
    }
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(view_, 1);
    findBar_ = new FindBar(*view_, central);
    connect(findBar_, &FindBar::closed, this, [this] { setFocus(); }); // typing goes to the port again
    column->addWidget(findBar_);
    setCentralWidget(central);
    view_->viewport()->installEventFilter(this);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &MainWindow::showContextMenu);
    connect(view_, &TerminalView::selectionChanged, this, [this] {
        copy_->setEnabled(!view_->selection().empty());
        // Where the system keeps a mouse selection, the selected text goes there too.
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && !view_->selection().empty())
            clipboard->setText(QString::fromLatin1(view_->selectedText()), QClipboard::Selection);
    });
    applyColours(session_.config().background(), session_.config().text());

    pasteTimer_ = new QTimer(this);
    pasteTimer_->setSingleShot(true);
    connect(pasteTimer_, &QTimer::timeout, this, [this] {
        session_.pasteTick();
        schedulePaste();
    });
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, &MainWindow::refresh);
    // A second look at the port now and then: catches a device that vanished while idle.
    auto* watchdog = new QTimer(this);
    watchdog->setInterval(250);
    connect(watchdog, &QTimer::timeout, this, [this] { session_.tick(); });
    watchdog->start();

    refresh();
    if (options.connectAtStart) {
        if (!options.port.empty())
            session_.connect(options.port,
                             options.baudRate > 0 ? options.baudRate : session_.config().baudRate());
        else
            session_.reconnect();
    }
    // The window opens with the cells it had last time (80 x 36 at first) and can then be
    // sized freely; the view shows what fits.
    adjustSize();
    resize(sizeHint());
    setMinimumSize(minimumSizeHint());
    move(100, 100);
    status_->layoutFor(width());
    initialised_ = true;
}

MainWindow::~MainWindow()
{
    session_.disconnect();
    if (initialised_) {
        const QSize cells = view_->visibleCells();
        session_.settings().columns = std::clamp(cells.width(), 20, 400);
        session_.settings().rows = std::clamp(cells.height(), 4, 300);
    }
    session_.save();
    closing_ = true; // the session's last words find no window to tell
}

void MainWindow::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void MainWindow::display(const uint8_t* bytes, size_t count)
{
    view_->write(bytes, count);
}

bool MainWindow::atLineStart() const
{
    return view_->screen().cursorColumn() == 0;
}

void MainWindow::changed()
{
    if (view_ && !closing_)
        refresh();
}

void MainWindow::buildMenus()
{
    auto add = [this](QMenu* menu, const char* text, auto slot, const char* shortcut = nullptr) {
        QAction* a = menu->addAction(QString::fromLatin1(text), this, slot);
        if (shortcut) {
            a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
            a->setShortcutContext(Qt::WindowShortcut);
        }
        return a;
    };
    auto check = [](QAction* a) {
        a->setCheckable(true);
        return a;
    };
    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    connect_ = add(setup, "&Connect", &MainWindow::connectPort, "Ctrl+C");
    disconnect_ = add(setup, "&Disconnect", &MainWindow::disconnectPort, "Ctrl+D");
    setup->addSeparator();
    add(setup, "&Modify color", &MainWindow::modifyColor, "Ctrl+M");
    bytesumAction_ = check(add(setup, "&Add bytesum", &MainWindow::toggleBytesum));
    setup->addSeparator();
    add(setup, "E&xit", &QWidget::close, "Ctrl+X");

    QMenu* files = menuBar()->addMenu(QStringLiteral("&Files"));
    transmitAction_ = add(
        files, "&Transmit file", [this] { session_.transmit(-1); }, "Ctrl+T");
    receiveAction_ = add(
        files, "&Recieve file", [this] { session_.receive(-1); }, "Ctrl+R");
    recentMenu_ = new RecentMenu(session_, this);
    files->addMenu(recentMenu_);
    files->addSeparator();
    add(files, "C&lear screen", &MainWindow::clearScreen, "Ctrl+L");
    files->addSeparator();
    logAction_ = check(add(files, "&Log to file...", [this] {
        if (session_.log().isOpen()) {
            session_.stopLog();
            return;
        }
        const std::string path = prompter_.saveFile("Log file", kLogFilters);
        if (!path.empty())
            session_.startLog(path);
        refresh();
    }));
    logSentAction_ = check(
        add(files, "Log &sent bytes too", [this] { session_.setLogSent(logSentAction_->isChecked()); }));
    logTimestampsAction_ = check(add(files, "Log with time &stamps", [this] {
        session_.setLogTimestamps(logTimestampsAction_->isChecked());
    }));

    // Ctrl+C is Connect, so copy and paste take Shift as well.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    copy_ = add(edit, "&Copy", &MainWindow::copySelection, "Ctrl+Shift+C");
    copy_->setEnabled(false);
    paste_ = add(edit, "&Paste", &MainWindow::paste, "Ctrl+Shift+V");
    edit->addSeparator();
    find_ = add(
        edit, "&Find...", [this] { findBar_->open({}, true); }, "Ctrl+Shift+F");
    add(
        edit, "Find &next", [this] { findBar_->step(true); }, "F3");
    add(
        edit, "Find &previous", [this] { findBar_->step(false); }, "Shift+F3");

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    timestamps_ = check(add(viewMenu, "&Timestamps", [this] { setTimestamps(timestamps_->isChecked()); }));
    hexView_ = check(add(viewMenu, "&Hex view", [this] { setHexView(hexView_->isChecked()); }));
    // The key table owns the Scroll Lock key; the menu only names it.
    scrollLock_ = check(
        add(viewMenu, "Scroll &lock\tScroll Lock", [this] { setScrollLock(scrollLock_->isChecked()); }));
    viewMenu->addSeparator();
    add(
        viewMenu, "&Larger", [this] { changeFontSize(+1); }, "Ctrl+=");
    add(
        viewMenu, "&Smaller", [this] { changeFontSize(-1); }, "Ctrl+-");

    sendMenu_ = new SendMenu(session_, this);
    menuBar()->addMenu(sendMenu_);

    // No F1 here: keys typed in the terminal belong to the line.
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("User &Guide"), this, [this] { guikit::GuideWindow::showGuide(this); });
    help->addAction(QStringLiteral("&About Wirescope"), this, [this] {
        QMessageBox::about(
            this, QStringLiteral("About Wirescope"),
            QStringLiteral("%1\nThe serial terminal of the Tessaban kit.\nVersion %2")
                .arg(QString::fromLatin1(texts::kTitle), QString::fromLatin1(platform::suiteVersion())));
    });
}

QAction* MainWindow::action(const QString& name) const
{
    for (QMenu* menu : findChildren<QMenu*>())
        for (QAction* a : menu->actions())
            if (a->text() == name)
                return a;
    return nullptr;
}

void MainWindow::refresh()
{
    const bool open = session_.isConnected();
    connect_->setEnabled(!open);
    // While a device that went away is waited for, Disconnect stops the waiting.
    disconnect_->setEnabled(open || session_.waitingForDevice());
    const bool transfer = session_.canTransfer();
    transmitAction_->setEnabled(transfer);
    receiveAction_->setEnabled(transfer);
    recentMenu_->refresh(transfer);
    sendMenu_->setSendingEnabled(transfer && !session_.pasting());
    bytesumAction_->setChecked(session_.config().bytesum());
    logAction_->setChecked(session_.log().isOpen());
    logSentAction_->setChecked(session_.settings().logSent);
    logTimestampsAction_->setChecked(session_.log().timestamps());
    timestamps_->setChecked(session_.formatter().timestamps());
    hexView_->setChecked(session_.formatter().hex());
    status_->setTexts(session_.fileStatus(), session_.deviceStatus(), session_.connectionStatus());
    if (session_.transmitting() != progressTimer_->isActive())
        session_.transmitting() ? progressTimer_->start() : progressTimer_->stop();
}

QMenu* MainWindow::recentMenu() const
{
    return recentMenu_;
}

QString MainWindow::statusText(int part) const
{
    return status_->text(part);
}

QString MainWindow::deviceText() const
{
    return status_->deviceText();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    status_->layoutFor(width());
}

void MainWindow::connectPort()
{
    if (session_.isConnected())
        return;
    std::vector<std::string> names, descriptions;
    for (const platform::PortEntry& entry : TerminalPort::listing())
        names.push_back(entry.name), descriptions.push_back(entry.description);
    SetupChooser chooser = chooser_;
    if (!chooser) {
        chooser = [&](const std::vector<std::string>& ports, const std::string& saved,
                      int rate) -> std::optional<PortChoice> {
            SerialSetupDialog dialog(ports, saved, rate, this);
            dialog.setDescriptions(descriptions);
            if (dialog.exec() != QDialog::Accepted)
                return std::nullopt;
            return PortChoice{dialog.selectedPort(), dialog.selectedRate()};
        };
    }
    const auto choice = chooser(names, session_.config().portName(), session_.config().baudRate());
    if (choice)
        session_.connect(choice->port, choice->baudRate);
}

void MainWindow::applyColours(termcore::Rgb background, termcore::Rgb text)
{
    // Only the low byte of each stored component reaches the colour.
    view_->setBackground(QColor(background.red & 0xFF, background.green & 0xFF, background.blue & 0xFF));
    view_->setTextColour(QColor(text.red & 0xFF, text.green & 0xFF, text.blue & 0xFF));
}

void MainWindow::modifyColor()
{
    auto& config = session_.config();
    ColorSetupDialog dialog(
        config.background(), config.text(),
        [this](termcore::Rgb bg, termcore::Rgb fg) { applyColours(bg, fg); }, this);
    if (dialog.exec() == QDialog::Accepted) {
        config.setBackground(dialog.background());
        config.setText(dialog.text());
    }
}

void MainWindow::toggleBytesum()
{
    session_.toggleBytesum();
    refresh();
}

void MainWindow::clearScreen()
{
    view_->clear();
    findBar_->screenCleared();
}

void MainWindow::setScrollLock(bool on)
{
    view_->screen().setScrollLock(on);
    scrollLock_->setChecked(on);
    status_->setScrollLock(on);
}

bool MainWindow::scrollLock() const
{
    return view_->screen().scrollLock();
}

void MainWindow::changeFontSize(int step)
{
    const int pixels = std::clamp(view_->terminalFont().pixelSize() + step, SessionSettings::kMinFontPixels,
                                  SessionSettings::kMaxFontPixels);
    // The window keeps the cells it shows: it grows or shrinks with the font.
    const QSize growth = view_->setTerminalFont(chooseTerminalFont(pixels));
    session_.settings().fontPixels = pixels;
    setMinimumSize(0, 0);
    resize(size() + growth);
    setMinimumSize(minimumSizeHint());
}

bool MainWindow::focusNextPrevChild(bool next)
{
    // While the terminal has the keys, Tab is a key for the controller (its menus are driven
    // with it), never a move to the find bar.
    if (!focusWidget() || focusWidget() == this)
        return false;
    return QMainWindow::focusNextPrevChild(next);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Keys the find bar did not take bubble up here; they were meant for the bar, not the port.
    if (focusWidget() && focusWidget() != this) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    const termcore::KeyAction action = session_.key(keyPressOf(*event));
    switch (action.command) {
    case KeyCommand::None:
        QMainWindow::keyPressEvent(event);
        return;
    case KeyCommand::ScrollPageUp:
    case KeyCommand::ScrollPageDown:
        view_->scrollPage(action.command == KeyCommand::ScrollPageUp);
        break;
    case KeyCommand::ToggleScrollLock:
        setScrollLock(!scrollLock());
        break;
    case KeyCommand::CancelPaste:
        pasteTimer_->stop();
        break;
    default:
        break;
    }
    event->accept();
}

void MainWindow::wheelEvent(QWheelEvent* event)
{
    view_->wheelLines(event->angleDelta().y());
    event->accept();
}

void MainWindow::focusInEvent(QFocusEvent* event)
{
    QMainWindow::focusInEvent(event);
    if (view_)
        view_->setCaretVisible(true);
}

void MainWindow::focusOutEvent(QFocusEvent* event)
{
    QMainWindow::focusOutEvent(event);
    if (view_)
        view_->setCaretVisible(false);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && view_)
        view_->setCaretVisible(isActiveWindow());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    session_.disconnect();
    event->accept();
}

void MainWindow::copySelection()
{
    if (!view_->selection().empty())
        QGuiApplication::clipboard()->setText(QString::fromLatin1(view_->selectedText()));
}

void MainWindow::paste()
{
    session_.paste(latin1(QGuiApplication::clipboard()->text()));
    schedulePaste();
}

void MainWindow::schedulePaste()
{
    const int64_t due = session_.pasteDueMs();
    if (due >= 0)
        pasteTimer_->start(static_cast<int>(std::max<int64_t>(0, due - TerminalSession::steadyMs())));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the terminal gives it the keys back (the view itself never takes the focus).
    if (view_ && watched == view_->viewport() && event->type() == QEvent::MouseButtonPress)
        setFocus(Qt::MouseFocusReason);
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showContextMenu(const QPoint& at)
{
    QMenu menu(this);
    menu.addAction(copy_);
    paste_->setEnabled(session_.canTransfer());
    menu.addAction(paste_);
    menu.addSeparator();
    menu.addAction(find_);
    menu.exec(view_->viewport()->mapToGlobal(at));
    paste_->setEnabled(true);
}

} // namespace terminal
