#include "terminal/MainWindow.h"

#include "termcore/ByteEscapes.h"
#include "termcore/TerminalTexts.h"
#include "terminal/ColorSetupDialog.h"
#include "terminal/FindBar.h"
#include "terminal/SendStringsDialog.h"
#include "terminal/SerialSetupDialog.h"
#include "terminal/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace terminal {

namespace texts = termcore::texts;
using termcore::KeyCommand;
using termcore::SessionSettings;
using termcore::TerminalKey;

namespace {
const char* kLogFilters = "Log file (*.log);;All file (*)";

QString menuText(const std::string& label)
{
    // A label is shown as it is: "&" in a file name is no mnemonic.
    return QString::fromStdString(label).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

std::string latin1(const QString& text)
{
    std::string out;
    for (QChar c : text)
        if (c.unicode() <= 0xFF)
            out.push_back(static_cast<char>(c.unicode()));
    return out;
}

// The toolkit's key as the terminal's key table knows it.
termcore::KeyPress keyPress(const QKeyEvent& event)
{
    static const std::pair<int, TerminalKey> kKeys[] = {
        {Qt::Key_Up, TerminalKey::Up},
        {Qt::Key_Down, TerminalKey::Down},
        {Qt::Key_Right, TerminalKey::Right},
        {Qt::Key_Left, TerminalKey::Left},
        {Qt::Key_Home, TerminalKey::Home},
        {Qt::Key_End, TerminalKey::End},
        {Qt::Key_PageUp, TerminalKey::PageUp},
        {Qt::Key_PageDown, TerminalKey::PageDown},
        {Qt::Key_ScrollLock, TerminalKey::ScrollLock},
    };
    termcore::KeyPress press;
    const int key = event.key();
    for (const auto& [qt, ours] : kKeys)
        if (key == qt)
            press.key = ours;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        press.key = TerminalKey::Letter;
        press.symbol = static_cast<char>('A' + (key - Qt::Key_A));
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        press.key = TerminalKey::Digit;
        press.symbol = static_cast<char>('0' + (key - Qt::Key_0));
    }
    press.ctrl = event.modifiers() & Qt::ControlModifier;
    press.shift = event.modifiers() & Qt::ShiftModifier;
    press.alt = event.modifiers() & Qt::AltModifier;
    press.text = latin1(event.text());
    press.repeat = event.count();
    return press;
}
} // namespace

MainWindow::MainWindow(Prompter& prompter, const WindowOptions& options, QWidget* parent)
    : QMainWindow(parent), prompter_(prompter), session_(prompter, *this)
{
    setWindowTitle(QString::fromLatin1(texts::kTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFocusPolicy(Qt::StrongFocus);

    // Part 0 keeps its text on the left; the scroll lock and the device behind the port stand
    // at its right end, so the two parts keep their edges.
    statusFirst_ = new QWidget(this);
    status_[0] = new QLabel(statusFirst_);
    scrollLockLabel_ = new QLabel(QStringLiteral("SCRL"), statusFirst_);
    scrollLockLabel_->hide();
    deviceLabel_ = new QLabel(statusFirst_);
    deviceLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* firstLayout = new QHBoxLayout(statusFirst_);
    firstLayout->setContentsMargins(0, 0, 12, 0);
    firstLayout->addWidget(status_[0], 1);
    firstLayout->addWidget(scrollLockLabel_);
    firstLayout->addWidget(deviceLabel_);
    status_[1] = new QLabel(this);
    statusBar()->setSizeGripEnabled(false); // the parts keep their edges; the frame sizes the window
    statusBar()->addWidget(statusFirst_);
    statusBar()->addWidget(status_[1]);

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
    layoutStatus();
    initialised_ = true;
}

MainWindow::~MainWindow()
{
    session_.disconnect();
    if (initialised_) {
        SessionSettings& settings = session_.settings();
        const auto m = view_->metrics();
        settings.columns = std::clamp(view_->viewport()->width() / std::max(1, m.charWidth), 20, 400);
        settings.rows = std::clamp(view_->viewport()->height() / std::max(1, m.charHeight), 4, 300);
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
    recentMenu_ = files->addMenu(QStringLiteral("Recent &files"));
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
        edit, "&Find...", [this] { openFind(); }, "Ctrl+Shift+F");
    add(edit, "Find &next", &MainWindow::findNext, "F3");
    add(edit, "Find &previous", &MainWindow::findPrevious, "Shift+F3");

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

    sendMenu_ = menuBar()->addMenu(QStringLiteral("Se&nd"));
    rebuildSendMenu();
}

void MainWindow::rebuildSendMenu()
{
    sendMenu_->clear();
    const auto& strings = session_.settings().sendStrings;
    // Ctrl+1..9 reach them through the key table, so the shortcut is only named here.
    for (int i = 0; i < SessionSettings::kSendStrings; ++i) {
        if (strings[i].text.empty())
            continue;
        const int number = i + 1;
        sendMenu_->addAction(menuText(strings[i].name) + QStringLiteral("\tCtrl+%1").arg(number), this,
                             [this, number] { session_.sendString(number); });
    }
    sendMenu_->addSeparator();
    sendMenu_->addAction(QStringLiteral("&Edit send strings..."), this, &MainWindow::editSendStrings);
}

void MainWindow::editSendStrings()
{
    SendStringsDialog dialog(session_.settings().sendStrings, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    session_.settings().sendStrings = dialog.strings();
    rebuildSendMenu();
    refresh();
}

QAction* MainWindow::action(const QString& name) const
{
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        for (QAction* a : menu->actions())
            if (a->text() == name)
                return a;
    return nullptr;
}

void MainWindow::rebuildRecentMenu()
{
    const auto& recent = session_.config().recent();
    QStringList labels;
    for (int i = recent.count() - 1; i >= 0; --i) // newest first
        labels << menuText(recent.label(i));
    if (labels == recentLabels_ && !recentMenu_->isEmpty())
        return;
    recentLabels_ = labels;
    recentMenu_->clear();
    if (labels.isEmpty()) {
        QAction* empty = recentMenu_->addAction(QString::fromLatin1(texts::kEmptyPath));
        empty->setData(termcore::RecentFileList::kPlaceholderCommand);
        empty->setEnabled(false);
        return;
    }
    for (int i = recent.count() - 1; i >= 0; --i) {
        const int command = termcore::RecentFileList::indexToCommand(i);
        QAction* a = recentMenu_->addAction(labels[recent.count() - 1 - i]);
        a->setData(command);
        connect(a, &QAction::triggered, this, [this, command] { session_.recentCommand(command); });
    }
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
    rebuildRecentMenu();
    recentMenu_->menuAction()->setEnabled(transfer);
    recentMenu_->setEnabled(transfer);
    for (QAction* a : sendMenu_->actions())
        if (!a->isSeparator() && a != sendMenu_->actions().last())
            a->setEnabled(transfer && !session_.pasting());
    bytesumAction_->setChecked(session_.config().bytesum());
    logAction_->setChecked(session_.log().isOpen());
    logSentAction_->setChecked(session_.settings().logSent);
    logTimestampsAction_->setChecked(session_.log().timestamps());
    timestamps_->setChecked(session_.formatter().timestamps());
    hexView_->setChecked(session_.formatter().hex());
    status_[0]->setText(QString::fromStdString(session_.fileStatus()));
    status_[1]->setText(QString::fromStdString(session_.connectionStatus()));
    deviceLabel_->setText(QString::fromStdString(session_.deviceStatus()));
    if (session_.transmitting() != progressTimer_->isActive())
        session_.transmitting() ? progressTimer_->start() : progressTimer_->stop();
}

QString MainWindow::statusText(int part) const
{
    return status_[part == 0 ? 0 : 1]->text();
}

QString MainWindow::deviceText() const
{
    return deviceLabel_->text();
}

void MainWindow::layoutStatus()
{
    const int w = width();
    const int first = (w / 6) * 5;
    statusFirst_->setFixedWidth(std::max(0, first - 8));
    status_[1]->setFixedWidth(std::max(0, (w / 6) * 6 - first - 8));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layoutStatus();
}

void MainWindow::connectPort()
{
    if (session_.isConnected())
        return;
    SetupChooser chooser = chooser_;
    if (!chooser) {
        chooser = [this](const std::vector<std::string>& ports, const std::string& saved,
                         int rate) -> std::optional<PortChoice> {
            SerialSetupDialog dialog(ports, saved, rate, this);
            if (dialog.exec() != QDialog::Accepted)
                return std::nullopt;
            return PortChoice{dialog.selectedPort(), dialog.selectedRate()};
        };
    }
    const auto choice =
        chooser(TerminalPort::enumerate(255), session_.config().portName(), session_.config().baudRate());
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
    scrollLockLabel_->setVisible(on);
}

bool MainWindow::scrollLock() const
{
    return view_->screen().scrollLock();
}

void MainWindow::changeFontSize(int step)
{
    const QFont current = view_->terminalFont();
    const int pixels = std::clamp(current.pixelSize() + step, SessionSettings::kMinFontPixels,
                                  SessionSettings::kMaxFontPixels);
    if (pixels == current.pixelSize())
        return;
    // The window keeps the cells it shows: it grows or shrinks with the font.
    const auto before = view_->metrics();
    const int columns = view_->viewport()->width() / std::max(1, before.charWidth);
    const int rows = view_->viewport()->height() / std::max(1, before.charHeight);
    view_->setTerminalFont(chooseTerminalFont(pixels));
    session_.settings().fontPixels = pixels;
    const auto after = view_->metrics();
    setMinimumSize(0, 0);
    resize(size() + QSize(columns * (after.charWidth - before.charWidth),
                          rows * (after.charHeight - before.charHeight)));
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
    const termcore::KeyAction action = session_.key(keyPress(*event));
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

void MainWindow::openFind(const QString& text, bool takeFocus)
{
    findBar_->open(text, takeFocus);
}

void MainWindow::findNext()
{
    findBar_->step(true);
}

void MainWindow::findPrevious()
{
    findBar_->step(false);
}

QLineEdit* MainWindow::findEdit() const
{
    return findBar_->edit();
}

QString MainWindow::findStatus() const
{
    return findBar_->status();
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
