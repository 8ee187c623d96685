#include "terminal/MainWindow.h"
#include "guikit/GuideWindow.h"
#include "platform/Version.h"

#include "termcore/TerminalTexts.h"
#include "terminal/ColorSetupDialog.h"
#include "terminal/SerialSetupDialog.h"
#include "terminal/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>

namespace terminal {

namespace texts = termcore::texts;
using termcore::FileKind;
using termcore::TransmitJob;

namespace {
constexpr int kMaxKeyRepeat = 12; // the send buffer of one character message
constexpr int kDrainRounds = 64;  // blocks per drain before the window gets its turn again
const char* kTransmitFilters = "Intel hex file (*.hex);;All file (*)";
const char* kReceiveFilters = "All file (*)";
const char* kLogFilters = "Log file (*.log);;All file (*)";

int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString menuText(const std::string& label)
{
    // A label is shown as it is: "&" in a file name is no mnemonic.
    return QString::fromStdString(label).replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

MainWindow::MainWindow(Prompter& prompter, const WindowOptions& options, QWidget* parent)
    : QMainWindow(parent), prompter_(prompter)
{
    setWindowTitle(QString::fromLatin1(texts::kTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFocusPolicy(Qt::StrongFocus);

    // Part 0 keeps its text on the left; the device behind the port stands at its right end,
    // so the two parts keep their edges.
    statusFirst_ = new QWidget(this);
    status_[0] = new QLabel(statusFirst_);
    deviceLabel_ = new QLabel(statusFirst_);
    deviceLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* firstLayout = new QHBoxLayout(statusFirst_);
    firstLayout->setContentsMargins(0, 0, 12, 0);
    firstLayout->addWidget(status_[0], 1);
    firstLayout->addWidget(deviceLabel_);
    status_[1] = new QLabel(this);
    statusBar()->setSizeGripEnabled(false); // the parts keep their edges; the frame sizes the window
    statusBar()->addWidget(statusFirst_);
    statusBar()->addWidget(status_[1]);

    const std::string path =
        options.configPath.empty() ? termcore::TerminalConfig::defaultPath() : options.configPath;
    config_.load(path);
    bytesum_ = config_.bytesum();
    buildMenus();

    view_ = new TerminalView(screen_, chooseTerminalFont(), kVisibleColumns, kVisibleRows, this);
    if (!view_->createScreen(kColumns, kRows)) {
        prompter_.error(texts::kScreenFailed);
        return;
    }
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(view_, 1);
    buildFindBar(central);
    column->addWidget(findBar_);
    setCentralWidget(central);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &MainWindow::showContextMenu);
    connect(view_, &TerminalView::selectionChanged, this, [this] {
        copy_->setEnabled(!view_->selection().empty());
        // Where the system keeps a mouse selection, the selected text goes there too.
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && !view_->selection().empty())
            clipboard->setText(QString::fromLatin1(view_->selectedText()), QClipboard::Selection);
    });
    pasteTimer_ = new QTimer(this);
    pasteTimer_->setSingleShot(true);
    connect(pasteTimer_, &QTimer::timeout, this, &MainWindow::pasteTick);
    applyColours(config_.background(), config_.text());

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, [this] { refreshStatus(); });
    // A second look at the port now and then: catches a device that vanished while idle.
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(250);
    connect(watchdog_, &QTimer::timeout, this, [this] {
        drain();
        tryReturn();
        // A log that closed on its own (the file stopped taking data) is reported once.
        if (logAction_->isChecked() && (!log_.isOpen() || !log_.poll(steadyMs()))) {
            stopLog();
            prompter_.error(texts::kLogWriteFailed, log_.errorText());
        }
    });
    watchdog_->start();

    setConnectedMenus(false);
    refreshStatus();
    if (options.connectAtStart) {
        if (!options.port.empty()) {
            workingPort_ = options.port;
            workingRate_ = options.baudRate > 0 ? options.baudRate : config_.baudRate();
            if (openPort(workingPort_, workingRate_)) {
                config_.setPortName(workingPort_);
                config_.setBaudRate(workingRate_);
            }
        } else {
            reconnect();
        }
    }
    // The window opens with 80 x 36 cells and can then be sized freely; the view shows what fits.
    adjustSize();
    resize(sizeHint());
    setMinimumSize(minimumSizeHint());
    move(100, 100);
    layoutStatus();
    bytesumAction_->setChecked(config_.bytesum());
    initialised_ = true;
}

MainWindow::~MainWindow()
{
    disconnectPort();
    log_.close();
    job_.cancel();
    job_.finish();
    port_.close();
    const QString folder = QFileInfo(QString::fromStdString(config_.path())).absolutePath();
    QDir().mkpath(folder);
    config_.save();
}

void MainWindow::buildMenus()
{
    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    connect_ = setup->addAction(QStringLiteral("&Connect"), this, &MainWindow::connectPort);
    connect_->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    disconnect_ = setup->addAction(QStringLiteral("&Disconnect"), this, &MainWindow::disconnectPort);
    disconnect_->setShortcut(QKeySequence(QStringLiteral("Ctrl+D")));
    setup->addSeparator();
    color_ = setup->addAction(QStringLiteral("&Modify color"), this, &MainWindow::modifyColor);
    color_->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    bytesumAction_ = setup->addAction(QStringLiteral("&Add bytesum"), this, &MainWindow::toggleBytesum);
    bytesumAction_->setCheckable(true);
    setup->addSeparator();
    exit_ = setup->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    exit_->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));

    QMenu* files = menuBar()->addMenu(QStringLiteral("&Files"));
    transmitAction_ = files->addAction(QStringLiteral("&Transmit file"), this, [this] { transmit(-1); });
    transmitAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    receiveAction_ = files->addAction(QStringLiteral("&Recieve file"), this, [this] { receive(-1); });
    receiveAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    recentMenu_ = files->addMenu(QStringLiteral("Recent &files"));
    files->addSeparator();
    clear_ = files->addAction(QStringLiteral("C&lear screen"), this, &MainWindow::clearScreen);
    clear_->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    files->addSeparator();
    logAction_ = files->addAction(QStringLiteral("&Log to file..."), this, [this] {
        if (log_.isOpen()) {
            stopLog();
            return;
        }
        const std::string path = prompter_.saveFile("Log file", kLogFilters);
        if (!path.empty())
            startLog(path);
        logAction_->setChecked(log_.isOpen());
    });
    logAction_->setCheckable(true);
    logSentAction_ = files->addAction(QStringLiteral("Log &sent bytes too"), this,
                                      [this] { setLogSent(logSentAction_->isChecked()); });
    logSentAction_->setCheckable(true);

    // Ctrl+C is Connect, so copy and paste take Shift as well.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    copy_ = edit->addAction(QStringLiteral("&Copy"), this, &MainWindow::copySelection);
    copy_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    copy_->setEnabled(false);
    paste_ = edit->addAction(QStringLiteral("&Paste"), this, &MainWindow::paste);
    paste_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+V")));
    edit->addSeparator();
    find_ = edit->addAction(QStringLiteral("&Find..."), this, [this] { openFind(); });
    find_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    findNext_ = edit->addAction(QStringLiteral("Find &next"), this, &MainWindow::findNext);
    findNext_->setShortcut(QKeySequence(Qt::Key_F3));
    findPrevious_ = edit->addAction(QStringLiteral("Find &previous"), this, &MainWindow::findPrevious);
    findPrevious_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    timestamps_ = viewMenu->addAction(QStringLiteral("&Timestamps"), this,
                                      [this] { setTimestamps(timestamps_->isChecked()); });
    timestamps_->setCheckable(true);
    hexView_ = viewMenu->addAction(QStringLiteral("&Hex view"), this, [this] { setHexView(hexView_->isChecked()); });
    hexView_->setCheckable(true);

    // No F1 here: keys typed in the terminal belong to the line.
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("User &Guide"), this, [this] { guikit::GuideWindow::showGuide(this); });
    help->addAction(QStringLiteral("&About Wirescope"), this, [this] {
        QMessageBox::about(
            this, QStringLiteral("About Wirescope"),
            QStringLiteral("%1\nThe serial terminal of the Tessaban kit.\nVersion %2")
                .arg(QString::fromLatin1(texts::kTitle), QString::fromLatin1(platform::suiteVersion())));
    });

    for (QAction* a : {connect_, disconnect_, color_, exit_, transmitAction_, receiveAction_, clear_, copy_, paste_,
                       find_, findNext_, findPrevious_})
        a->setShortcutContext(Qt::WindowShortcut);
    rebuildRecentMenu();
}

QAction* MainWindow::action(const QString& name) const
{
    for (QAction* a : {connect_, disconnect_, color_, bytesumAction_, exit_, transmitAction_, receiveAction_, clear_,
                       logAction_, logSentAction_, copy_, paste_, find_, findNext_, findPrevious_, timestamps_,
                       hexView_})
        if (a && a->text() == name)
            return a;
    if (recentMenu_ && recentMenu_->menuAction()->text() == name)
        return recentMenu_->menuAction();
    return nullptr;
}

void MainWindow::rebuildRecentMenu()
{
    recentMenu_->clear();
    const auto& recent = config_.recent();
    if (recent.count() == 0) {
        QAction* empty = recentMenu_->addAction(QString::fromLatin1(texts::kEmptyPath));
        empty->setData(termcore::RecentFileList::kPlaceholderCommand);
        empty->setEnabled(false);
        return;
    }
    // Newest first.
    for (int i = recent.count() - 1; i >= 0; --i) {
        const int command = termcore::RecentFileList::indexToCommand(i);
        QAction* a = recentMenu_->addAction(menuText(recent.label(i)));
        a->setData(command);
        connect(a, &QAction::triggered, this, [this, command] { recentCommand(command); });
    }
}

void MainWindow::setConnectedMenus(bool connected)
{
    connect_->setEnabled(!connected);
    // While a device that went away is waited for, Disconnect stops the waiting.
    disconnect_->setEnabled(connected || returning_.armed());
    setTransferMenus(connected && !transmitting_ && !receiving_);
}

void MainWindow::setTransferMenus(bool enabled)
{
    transmitAction_->setEnabled(enabled);
    receiveAction_->setEnabled(enabled);
    recentMenu_->menuAction()->setEnabled(enabled);
    recentMenu_->setEnabled(enabled);
}

QString MainWindow::statusText(int part) const
{
    return status_[part == 0 ? 0 : 1]->text();
}

void MainWindow::refreshStatus()
{
    std::string text;
    if (transmitting_)
        text = texts::transmitStatus(job_.sentBytes(), job_.totalBytes());
    else if (receiving_)
        text = texts::receiveStatus(capture_.receivedBytes());
    else {
        const auto& recent = config_.recent();
        text = texts::idleStatus(recent.label(recent.newestOfKind(FileKind::Any)));
    }
    status_[0]->setText(QString::fromStdString(text));
    refreshConnectionStatus();
}

void MainWindow::refreshConnectionStatus()
{
    status_[1]->setText(
        QString::fromStdString(texts::connectionStatus(port_.isOpen(), port_.portName(), port_.baudRate())));
    std::string device;
    if (port_.isOpen())
        device = texts::deviceStatus(port_.device());
    else if (returning_.armed())
        device = texts::deviceGoneStatus(returning_.portName(), returning_.lostDevice());
    deviceLabel_->setText(QString::fromStdString(device));
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

bool MainWindow::openPort(const std::string& name, int baudRate)
{
    // Opening anything ends the wait for a device that went away.
    returning_.disarm();
    const termcore::PortResolution resolution = TerminalPort::resolve(name);
    const bool ok = port_.open(name, baudRate, [this] {
        // On the watcher thread: only post; the window reads on its own thread.
        QMetaObject::invokeMethod(this, &MainWindow::drain, Qt::QueuedConnection);
    });
    if (ok)
        openedAs_ = resolution;
    setConnectedMenus(ok);
    refreshConnectionStatus();
    if (!ok)
        prompter_.error(texts::cannotOpenPort(name, baudRate), port_.lastErrorText());
    return ok;
}

void MainWindow::connectPort()
{
    if (port_.isOpen())
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
    const auto choice = chooser(TerminalPort::enumerate(255), config_.portName(), config_.baudRate());
    if (!choice)
        return;
    workingPort_ = choice->port;
    workingRate_ = choice->baudRate;
    if (openPort(workingPort_, workingRate_)) {
        config_.setPortName(workingPort_);
        config_.setBaudRate(workingRate_);
    }
}

bool MainWindow::reconnect()
{
    workingPort_ = config_.portName();
    workingRate_ = config_.baudRate();
    return openPort(workingPort_, workingRate_);
}

void MainWindow::disconnectPort()
{
    if (returning_.armed() && !port_.isOpen()) {
        returning_.disarm();
        setConnectedMenus(false);
        refreshStatus();
        return;
    }
    if (!port_.isOpen())
        return;
    pacer_.cancel();
    stopReceive();
    cancelTransmit();
    port_.close();
    setConnectedMenus(false);
    refreshStatus();
}

void MainWindow::portFailed()
{
    deviceLost(true);
}

void MainWindow::deviceLost(bool afterWrite)
{
    // A device that is not back is waited for: the same device, or a device newly linked under
    // the same COM name, is reopened as soon as it is there.
    const std::string name = port_.portName();
    const int rate = port_.baudRate();
    termcore::PortResolution lost = openedAs_;
    lost.device = port_.device();
    disconnectPort();
    // A device that is no longer there has gone away: say so in the status, no message. One
    // that is there but failed a write gets the reconnect of a failed keyboard write.
    const bool gone = !TerminalPort::resolve(lost.device).exists;
    if (afterWrite && !gone && reconnect())
        return;
    if (!name.empty())
        returning_.arm(name, rate, lost);
    setConnectedMenus(false);
    refreshStatus();
}

void MainWindow::tryReturn()
{
    if (!returning_.armed() || port_.isOpen())
        return;
    const termcore::PortResolution now = TerminalPort::resolve(returning_.portName());
    const auto device = returning_.deviceToOpen(now);
    if (!device)
        return;
    const bool ok = port_.open(returning_.portName(), returning_.baudRate(), [this] {
        QMetaObject::invokeMethod(this, &MainWindow::drain, Qt::QueuedConnection);
    }, *device);
    if (!ok)
        return; // not ready yet (or held by someone else): the next look tries again
    openedAs_ = now;
    returning_.disarm();
    setConnectedMenus(true);
    refreshStatus();
}

void MainWindow::applyColours(termcore::Rgb background, termcore::Rgb text)
{
    // Only the low byte of each stored component reaches the colour.
    view_->setBackground(QColor(background.red & 0xFF, background.green & 0xFF, background.blue & 0xFF));
    view_->setTextColour(QColor(text.red & 0xFF, text.green & 0xFF, text.blue & 0xFF));
}

void MainWindow::modifyColor()
{
    ColorSetupDialog dialog(
        config_.background(), config_.text(),
        [this](termcore::Rgb bg, termcore::Rgb fg) { applyColours(bg, fg); }, this);
    if (dialog.exec() == QDialog::Accepted) {
        config_.setBackground(dialog.background());
        config_.setText(dialog.text());
    }
}

void MainWindow::toggleBytesum()
{
    config_.setBytesum(!config_.bytesum());
    bytesum_ = config_.bytesum();
    bytesumAction_->setChecked(config_.bytesum());
}

void MainWindow::clearScreen()
{
    view_->clear();
    if (findBar_->isVisible())
        findLabel_->clear();
}

void MainWindow::recentCommand(int command)
{
    const int index = config_.recent().commandToIndex(command);
    if (index < 0)
        return;
    if (config_.recent().kind(index) == FileKind::Received)
        receive(index);
    else
        transmit(index);
}

void MainWindow::transmit(int entry)
{
    if (!port_.isOpen() || transmitting_ || receiving_)
        return;
    std::string path;
    if (entry < 0) {
        path = prompter_.openFile("Find transmitted file", kTransmitFilters);
        if (path.empty())
            return;
    } else {
        path = config_.recent().path(entry);
    }
    if (!job_.open(path)) {
        prompter_.error(texts::kCannotFindFile);
        if (entry >= 0) {
            config_.recent().remove(entry);
            rebuildRecentMenu();
            refreshStatus();
        }
        return;
    }
    // Everything the job's end relies on is in place before it starts.
    transmitting_ = true;
    transmitRecentIndex_ = entry;
    const uint64_t generation = ++transmitGeneration_;
    setTransferMenus(false);
    refreshStatus();
    progressTimer_->start();
    job_.start(
        [this](const uint8_t* data, size_t count) {
            const bool ok = port_.write(data, count);
            if (ok && logSent_)
                log_.write(data, count, steadyMs()); // a failure is reported by the window's timer
            return ok;
        },
        &bytesum_,
               [this, generation] {
                   QMetaObject::invokeMethod(
                       this, [this, generation] { onTransmitEnded(generation); }, Qt::QueuedConnection);
               });
}

void MainWindow::onTransmitEnded(uint64_t generation)
{
    if (generation != transmitGeneration_ || !transmitting_)
        return;
    const bool writeFailed = job_.outcome() == TransmitJob::Outcome::WriteFailed;
    finishTransmit();
    if (writeFailed)
        portFailed();
}

void MainWindow::cancelTransmit()
{
    if (!transmitting_)
        return;
    job_.cancel(); // after this no chunk goes out
    ++transmitGeneration_;
    finishTransmit();
}

void MainWindow::finishTransmit()
{
    // The one place that releases a job: the file, the image and the thread.
    const TransmitJob::Outcome outcome = job_.finish();
    const std::string path = job_.path();
    transmitting_ = false;
    progressTimer_->stop();
    auto& recent = config_.recent();
    switch (outcome) {
    case TransmitJob::Outcome::Succeeded:
    case TransmitJob::Outcome::Cancelled:
        recent.add(path, FileKind::Transmitted);
        break;
    case TransmitJob::Outcome::HexFailed:
        prompter_.error(texts::hexFailed(job_.hexCode()));
        if (transmitRecentIndex_ >= 0)
            recent.remove(transmitRecentIndex_);
        break;
    case TransmitJob::Outcome::ReadFailed:
        prompter_.error(texts::kCannotReadFile);
        if (transmitRecentIndex_ >= 0)
            recent.remove(transmitRecentIndex_);
        break;
    default:
        break; // a failed write says nothing about the file
    }
    transmitRecentIndex_ = -1;
    rebuildRecentMenu();
    setTransferMenus(port_.isOpen() && !receiving_);
    refreshStatus();
}

void MainWindow::receive(int entry)
{
    if (!port_.isOpen() || transmitting_ || receiving_)
        return;
    std::string path;
    if (entry < 0) {
        path = prompter_.saveFile("Set recieved file", kReceiveFilters);
        if (path.empty())
            return;
    } else {
        path = config_.recent().path(entry);
    }
    using Result = termcore::ReceiveCapture::CreateResult;
    Result result = capture_.create(path, false);
    if (result != Result::Created) {
        if (!prompter_.confirmOverwrite(texts::kAreYouSure))
            return;
        result = capture_.create(path, true);
    }
    if (result != Result::Created) {
        if (entry < 0) {
            prompter_.error(texts::kCannotMakeFile);
        } else {
            config_.recent().remove(entry);
            rebuildRecentMenu();
            refreshStatus();
            prompter_.error(texts::kIncorrectPath);
        }
        return;
    }
    config_.recent().add(path, FileKind::Received);
    rebuildRecentMenu();
    receiving_ = true;
    setTransferMenus(false);
    refreshStatus();
}

void MainWindow::stopReceive()
{
    if (!receiving_)
        return;
    receiving_ = false;
    const bool ok = capture_.stop();
    setTransferMenus(port_.isOpen() && !transmitting_);
    refreshStatus();
    if (!ok)
        prompter_.error(texts::kCaptureWriteFailed);
}

void MainWindow::drain()
{
    if (!port_.isOpen())
        return;
    port_.drained();
    uint8_t block[TerminalPort::kDrainBlock];
    for (int round = 0; round < kDrainRounds; ++round) {
        const long n = port_.read(block, sizeof block);
        if (n < 0) {
            deviceLost(false);
            return;
        }
        if (n == 0)
            return;
        logBytes(block, static_cast<size_t>(n), false);
        if (receiving_) {
            if (!capture_.captureBlock(block, static_cast<size_t>(n))) {
                // The capture file stopped taking data: end the capture and say so.
                receiving_ = false;
                setTransferMenus(!transmitting_);
                refreshStatus();
                prompter_.error(texts::kCaptureWriteFailed);
                continue;
            }
            refreshStatus();
        } else {
            showReceived(block, static_cast<size_t>(n));
        }
    }
    // Still more waiting: give the window its turn, then carry on.
    QMetaObject::invokeMethod(this, &MainWindow::drain, Qt::QueuedConnection);
}

void MainWindow::sendKeyBytes(const std::string& bytes)
{
    if (bytes.empty() || !port_.isOpen())
        return;
    if (!port_.write(bytes.data(), bytes.size())) {
        pacer_.cancel();
        portFailed();
        return;
    }
    logBytes(bytes.data(), bytes.size(), true);
}

void MainWindow::sendText(const std::string& bytes)
{
    if (!transmitting_ && !receiving_)
        sendKeyBytes(bytes);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool idle = !transmitting_ && !receiving_;
    const char* sequence = nullptr;
    switch (key) {
    case Qt::Key_Up:
        sequence = "\x1b[A";
        break;
    case Qt::Key_Down:
        sequence = "\x1b[B";
        break;
    case Qt::Key_Right:
        sequence = "\x1b[C";
        break;
    case Qt::Key_Left:
        sequence = "\x1b[D";
        break;
    case Qt::Key_Home:
        sequence = "\x1b[H";
        break;
    case Qt::Key_End:
        sequence = "\x1b[K";
        break;
    case Qt::Key_PageUp:
        if (port_.isOpen() && idle) {
            const int index = config_.recent().newestOfKind(FileKind::Received);
            if (index >= 0)
                receive(index);
        }
        event->accept();
        return;
    case Qt::Key_PageDown:
        if (port_.isOpen() && idle) {
            const int index = config_.recent().newestOfKind(FileKind::Transmitted);
            if (index >= 0)
                transmit(index);
        }
        event->accept();
        return;
    default:
        break;
    }
    if (sequence) {
        event->accept();
        if (key == Qt::Key_End && receiving_)
            stopReceive();
        else if (idle)
            sendKeyBytes(sequence);
        return;
    }
    // Copy, paste and find own Ctrl+Shift+C/V/F, enabled or not.
    if ((event->modifiers() & Qt::ControlModifier) && (event->modifiers() & Qt::ShiftModifier) &&
        (key == Qt::Key_C || key == Qt::Key_V || key == Qt::Key_F)) {
        event->accept();
        return;
    }
    // The accelerators own these, enabled or not: their control codes are never sent.
    if (event->modifiers() & Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_C:
        case Qt::Key_D:
        case Qt::Key_L:
        case Qt::Key_M:
        case Qt::Key_R:
        case Qt::Key_T:
        case Qt::Key_X:
            event->accept();
            return;
        default:
            break;
        }
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!port_.isOpen())
        return;
    if (transmitting_) {
        if (text.contains(QChar(0x1B)))
            cancelTransmit();
        return;
    }
    if (receiving_)
        return;
    if (pacer_.active()) {
        // Like a file being sent: ESC stops a paste, other keys wait for it to end.
        if (text.contains(QChar(0x1B))) {
            pacer_.cancel();
            pasteTimer_->stop();
        }
        return;
    }
    std::string one;
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        // Ctrl+letter is its control code, whatever text the platform attached to it.
        one.push_back(static_cast<char>(key - Qt::Key_A + 1));
    } else {
        for (QChar c : text)
            if (c.unicode() <= 0xFF)
                one.push_back(static_cast<char>(c.unicode()));
    }
    if (one.empty())
        return;
    const int repeat = std::clamp(event->count(), 1, kMaxKeyRepeat);
    std::string bytes;
    for (int i = 0; i < repeat && bytes.size() + one.size() <= size_t(kMaxKeyRepeat); ++i)
        bytes += one;
    if (bytes.empty())
        bytes = one.substr(0, kMaxKeyRepeat);
    sendKeyBytes(bytes);
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
    disconnectPort();
    event->accept();
}

} // namespace terminal

namespace terminal {

void MainWindow::showReceived(const uint8_t* bytes, size_t count)
{
    if (formatter_.passThrough()) {
        view_->write(bytes, count);
        return;
    }
    formatted_.clear();
    formatter_.format(bytes, count, QTime::currentTime().msecsSinceStartOfDay(), formatted_);
    view_->write(reinterpret_cast<const uint8_t*>(formatted_.data()), formatted_.size());
}

void MainWindow::logBytes(const void* data, size_t count, bool sent)
{
    if (!log_.isOpen() || (sent && !logSent_))
        return;
    if (!log_.write(data, count, steadyMs())) {
        stopLog();
        prompter_.error(texts::kLogWriteFailed, log_.errorText());
    }
}

bool MainWindow::startLog(const std::string& path)
{
    const bool ok = log_.open(path);
    if (!ok)
        prompter_.error(texts::kCannotMakeLog, log_.errorText());
    logAction_->setChecked(ok);
    return ok;
}

void MainWindow::stopLog()
{
    log_.close();
    logAction_->setChecked(false);
}

void MainWindow::setLogSent(bool on)
{
    logSent_ = on;
    logSentAction_->setChecked(on);
}

void MainWindow::setTimestamps(bool on)
{
    formatter_.setTimestamps(on);
    formatter_.setAtLineStart(view_->screen().cursorColumn() == 0);
    timestamps_->setChecked(on);
}

void MainWindow::setHexView(bool on)
{
    if (on != formatter_.hex() && view_->screen().cursorColumn() != 0)
        view_->write(reinterpret_cast<const uint8_t*>("\r\n"), 2); // each view starts on a line of its own
    formatter_.setHex(on);
    hexView_->setChecked(on);
}

void MainWindow::copySelection()
{
    const std::string text = view_->selectedText();
    if (!view_->selection().empty())
        QGuiApplication::clipboard()->setText(QString::fromLatin1(text));
}

void MainWindow::paste()
{
    if (!port_.isOpen() || transmitting_ || receiving_ || pacer_.active())
        return;
    const QString text = QGuiApplication::clipboard()->text();
    std::string latin;
    for (QChar c : text)
        if (c.unicode() <= 0xFF)
            latin.push_back(static_cast<char>(c.unicode()));
    const std::string bytes = termcore::PastePacer::consoleBytes(latin);
    if (bytes.empty())
        return;
    pacer_.start(bytes, steadyMs());
    pasteTick();
}

void MainWindow::pasteTick()
{
    if (!pacer_.active())
        return;
    if (!port_.isOpen() || transmitting_ || receiving_) {
        pacer_.cancel();
        return;
    }
    const std::string chunk = pacer_.next(steadyMs());
    if (!chunk.empty())
        sendKeyBytes(chunk);
    if (pacer_.active())
        pasteTimer_->start(static_cast<int>(std::max<int64_t>(0, pacer_.dueMs() - steadyMs())));
}

void MainWindow::buildFindBar(QWidget* parent)
{
    findBar_ = new QWidget(parent);
    auto* row = new QHBoxLayout(findBar_);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("Find:"), findBar_));
    findEdit_ = new QLineEdit(findBar_);
    row->addWidget(findEdit_, 1);
    auto button = [&](const QString& text, auto slot) {
        auto* b = new QToolButton(findBar_);
        b->setText(text);
        connect(b, &QToolButton::clicked, this, slot);
        row->addWidget(b);
        return b;
    };
    button(QStringLiteral("Previous"), [this] { findPrevious(); });
    button(QStringLiteral("Next"), [this] { findNext(); });
    findLabel_ = new QLabel(findBar_);
    findLabel_->setMinimumWidth(120);
    row->addWidget(findLabel_);
    button(QStringLiteral("Close"), [this] { closeFind(); });
    connect(findEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        view_->setFindText(text.toStdString());
        view_->setCurrentMatch(std::nullopt);
        findLabel_->clear();
    });
    findEdit_->installEventFilter(this); // Enter finds the next match, Shift+Enter the previous
    auto* escape = new QAction(findBar_);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, &MainWindow::closeFind);
    findBar_->addAction(escape);
    findBar_->hide();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == findEdit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            findStep(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::openFind(const QString& text)
{
    findBar_->show();
    if (!text.isEmpty())
        findEdit_->setText(text);
    else if (!view_->selection().empty())
        findEdit_->setText(QString::fromLatin1(view_->selectedText()).section(QLatin1Char('\n'), 0, 0));
    findEdit_->selectAll();
    findEdit_->setFocus();
    view_->setFindText(findEdit_->text().toStdString());
}

void MainWindow::closeFind()
{
    findBar_->hide();
    view_->setFindText({});
    view_->setCurrentMatch(std::nullopt);
    setFocus(); // typing goes to the port again
}

QString MainWindow::findStatus() const
{
    return findLabel_->text();
}

void MainWindow::findStep(bool forward)
{
    if (!findBar_->isVisible()) {
        openFind();
        if (findEdit_->text().isEmpty())
            return;
    }
    const std::string needle = findEdit_->text().toStdString();
    const auto& current = view_->currentMatch();
    const auto match =
        termcore::ScreenSearch::find(view_->screen(), needle, current ? current->start : -1, forward);
    view_->setFindText(needle);
    view_->setCurrentMatch(match);
    findLabel_->setText(needle.empty() ? QString() : match ? QString() : QStringLiteral("Not found"));
    if (match) {
        const int total = static_cast<int>(termcore::ScreenSearch::matchesInRows(
                                               view_->screen(), needle, 0, view_->screen().usedRows() - 1)
                                               .size());
        findLabel_->setText(QStringLiteral("%1 matches").arg(total));
    }
}

void MainWindow::showContextMenu(const QPoint& at)
{
    QMenu menu(this);
    menu.addAction(copy_);
    paste_->setEnabled(port_.isOpen() && !transmitting_ && !receiving_);
    menu.addAction(paste_);
    menu.addSeparator();
    menu.addAction(find_);
    menu.exec(view_->viewport()->mapToGlobal(at));
    paste_->setEnabled(true);
}

} // namespace terminal
