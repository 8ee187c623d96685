#include "terminal/MainWindow.h"

#include "termcore/TerminalTexts.h"
#include "terminal/ColorSetupDialog.h"
#include "terminal/SerialSetupDialog.h"
#include "terminal/TerminalView.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

namespace terminal {

namespace texts = termcore::texts;
using termcore::FileKind;
using termcore::TransmitJob;

namespace {
constexpr int kMaxKeyRepeat = 12; // the send buffer of one character message
constexpr int kDrainRounds = 64;  // blocks per drain before the window gets its turn again
const char* kTransmitFilters = "Intel hex file (*.hex);;All file (*)";
const char* kReceiveFilters = "All file (*)";

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

    status_[0] = new QLabel(this);
    status_[1] = new QLabel(this);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(status_[0]);
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
    setCentralWidget(view_);
    applyColours(config_.background(), config_.text());

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, [this] { refreshStatus(); });
    // A second look at the port now and then: catches a device that vanished while idle.
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(250);
    connect(watchdog_, &QTimer::timeout, this, [this] { drain(); });
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
    adjustSize();
    setFixedSize(sizeHint());
    move(100, 100);
    layoutStatus();
    bytesumAction_->setChecked(config_.bytesum());
    initialised_ = true;
}

MainWindow::~MainWindow()
{
    disconnectPort();
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
    for (QAction* a : {connect_, disconnect_, color_, exit_, transmitAction_, receiveAction_, clear_})
        a->setShortcutContext(Qt::WindowShortcut);
    rebuildRecentMenu();
}

QAction* MainWindow::action(const QString& name) const
{
    for (QAction* a :
         {connect_, disconnect_, color_, bytesumAction_, exit_, transmitAction_, receiveAction_, clear_})
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
    disconnect_->setEnabled(connected);
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
}

void MainWindow::layoutStatus()
{
    const int w = width();
    const int first = (w / 6) * 5;
    status_[0]->setFixedWidth(std::max(0, first - 8));
    status_[1]->setFixedWidth(std::max(0, (w / 6) * 6 - first - 8));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layoutStatus();
}

bool MainWindow::openPort(const std::string& name, int baudRate)
{
    const bool ok = port_.open(name, baudRate, [this] {
        // On the watcher thread: only post; the window reads on its own thread.
        QMetaObject::invokeMethod(this, &MainWindow::drain, Qt::QueuedConnection);
    });
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
    if (!port_.isOpen())
        return;
    stopReceive();
    cancelTransmit();
    port_.close();
    setConnectedMenus(false);
    refreshStatus();
}

void MainWindow::portFailed()
{
    // The device went away or stopped taking data: close cleanly, then try the saved port
    // once; a failure is reported as an open failure.
    disconnectPort();
    reconnect();
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
    job_.start([this](const uint8_t* data, size_t count) { return port_.write(data, count); }, &bytesum_,
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
            portFailed();
            return;
        }
        if (n == 0)
            return;
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
            view_->write(block, static_cast<size_t>(n));
        }
    }
    // Still more waiting: give the window its turn, then carry on.
    QMetaObject::invokeMethod(this, &MainWindow::drain, Qt::QueuedConnection);
}

void MainWindow::sendKeyBytes(const std::string& bytes)
{
    if (bytes.empty() || !port_.isOpen())
        return;
    if (!port_.write(bytes.data(), bytes.size()))
        portFailed();
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
