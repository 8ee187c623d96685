#include "simwindow/SimWindow.h"

#include "guikit/GuideWindow.h"
#include "platform/InstallPaths.h"
#include "platform/Version.h"
#include "robotgl/Main3DView.h"
#include "simwindow/ControllerFace.h"
#include "simwindow/SensorPanel.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace simwindow {

namespace {

const QString kImageFilter = QStringLiteral("KZ-7 memory images (*.mem);;All files (*)");
const QString kProfileFilter = QStringLiteral("Robot profiles (*.rbt)");

std::vector<int> sensorModules(const sim::JointTable& joints)
{
    std::vector<int> ids;
    for (int id = 0; id < static_cast<int>(joints.sensors.size()); ++id)
        if (joints.sensors[static_cast<size_t>(id)] &&
            !(id < sim::kJointRows && joints.present[static_cast<size_t>(id)]))
            ids.push_back(id);
    return ids;
}

} // namespace

SimWindow::SimWindow(sim::SimOptions options, std::unique_ptr<SimPrompter> prompter)
    : options_(std::move(options)), baud_(options_.pace),
      prompter_(prompter ? std::move(prompter) : std::make_unique<QtSimPrompter>(this))
{
    resize(1180, 760);
    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* side = new QWidget(central);
    side->setFixedWidth(330);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    face_ = new ControllerFace([this](const std::string& line) { control(line); }, side);
    sideLayout->addWidget(face_);
    sensorArea_ = new QScrollArea(side);
    sensorArea_->setWidgetResizable(true);
    sideLayout->addWidget(sensorArea_, 1);
    layout->addStretch(0);
    layout->addWidget(side);
    setCentralWidget(central);

    modeLabel_ = new QLabel(this);
    lineLabel_ = new QLabel(this);
    statusBar()->addWidget(modeLabel_, 1);
    statusBar()->addPermanentWidget(lineLabel_);

    buildMenus();
    bool serving = startServing(options_);
    if (!serving && !options_.profile.empty()) {
        // A robot that cannot be drawn should not keep the class from its controller: the bus
        // then has the standard 18 joints and the view says why it shows no robot.
        const QString why = QString::fromStdString(failure_);
        sim::SimOptions plain = options_;
        plain.profile.clear();
        serving = startServing(plain);
        if (serving)
            prompter_->inform(tr("The robot profile could not be used: %1").arg(why));
    }
    if (serving) {
        buildRobotView();
        setWindowTitle(QStringLiteral("KZ-7 Simulator on COM%1").arg(host_.com()));
    } else {
        setWindowTitle(QStringLiteral("KZ-7 Simulator"));
    }
    watchTimer_.setInterval(kWatchMs);
    connect(&watchTimer_, &QTimer::timeout, this, &SimWindow::watch);
    watchTimer_.start();
    watch();
}

SimWindow::~SimWindow()
{
    host_.close();
}

bool SimWindow::startServing(const sim::SimOptions& options)
{
    failure_.clear();
    if (host_.open(options, &failure_) != sim::SimHost::Failure::None || !host_.startThread(&failure_)) {
        host_.close();
        return false;
    }
    options_ = options;
    delete sensors_;
    sensors_ = new SensorPanel(host_.inspect([](const sim::Controller& c, const sim::ControllerMemory&) {
        return sensorModules(c.joints());
    }),
                               [this](const std::string& line) { control(line); });
    sensorArea_->setWidget(sensors_);
    firstWatch_ = true;
    return true;
}

void SimWindow::buildRobotView()
{
    auto* layout = static_cast<QHBoxLayout*>(centralWidget()->layout());
    const QString profile = QString::fromStdString(options_.profile);
    auto* view = new robotgl::Main3DView(profile, centralWidget());
    view->setLive(true);
    view->setCaption(QFileInfo(profile).fileName());
    if (view_) {
        // The layout hands back the item that held the old view; it is ours to delete.
        delete layout->replaceWidget(view_, view);
        delete view_;
    } else {
        // The view takes the place of the stretch before the side panel.
        delete layout->takeAt(0);
        layout->insertWidget(0, view, 1);
    }
    view_ = view;
    firstWatch_ = true;
}

void SimWindow::buildMenus()
{
    auto add = [this](QMenu* menu, const QString& name, const QString& text, auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* simulator = menuBar()->addMenu(tr("&Simulator"));
    add(simulator, "Exit", tr("E&xit"), [this] { close(); })->setShortcut(QKeySequence::Quit);

    QMenu* memory = menuBar()->addMenu(tr("&Memory"));
    add(memory, "SaveImage", tr("&Save image..."), [this] { saveImage(); });
    add(memory, "LoadImage", tr("&Load image..."), [this] { loadImage(); });
    memory->addSeparator();
    add(memory, "EraseProgram", tr("Erase &program"), [this] { eraseProgram(); });
    add(memory, "ErasePages", tr("Erase &motion pages"), [this] { eraseMotionPages(); });
    add(memory, "BlankFirmware", tr("&Blank firmware"), [this] { blankFirmware(); });

    QMenu* robot = menuBar()->addMenu(tr("&Robot"));
    add(robot, "ChangeProfile", tr("&Change profile..."), [this] { changeProfile(); });

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* fast = add(view, "FastLine", tr("&Fast line"), [this](bool on) { setFastLine(on); });
    fast->setCheckable(true);
    fast->setChecked(baud_ <= 0);
    add(view, "ResetView", tr("&Reset view"), [this] {
        if (view_)
            view_->resetView();
    });

    QMenu* faults = menuBar()->addMenu(tr("F&aults"));
    add(faults, "Drop", tr("&Drop bytes..."), [this] { injectFault("drop"); });
    add(faults, "Garble", tr("&Garble bytes..."), [this] { injectFault("garble"); });
    add(faults, "Stall", tr("&Stall..."), [this] { injectFault("stall"); });
    add(faults, "Vanish", tr("&Vanish..."), [this] { injectFault("vanish"); });

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, "Guide", tr("User &Guide"), [this] {
        guikit::GuideWindow::showGuide(this);
    })->setShortcut(QKeySequence::HelpContents);
    add(help, "About", tr("&About KZ-7 Simulator"), [this] {
        QMessageBox::about(this, tr("About KZ-7 Simulator"),
                           tr("KZ-7 Simulator\nThe software KZ-7 controller of the Tessaban kit, with the "
                              "robot on the screen.\nVersion %1")
                               .arg(QString::fromLatin1(platform::suiteVersion())));
    });
}

QAction* SimWindow::action(const QString& name) const
{
    return findChild<QAction*>(name);
}

void SimWindow::control(const std::string& line)
{
    if (!host_.isOpen())
        return;
    host_.act([&](sim::Controller& c) { return c.control(line); });
    watch();
}

void SimWindow::watch()
{
    if (!host_.isOpen()) {
        modeLabel_->setText(tr("Not serving: %1").arg(QString::fromStdString(failure_)));
        return;
    }
    const SimSnapshot now = host_.inspect(
        [](const sim::Controller& c, const sim::ControllerMemory&) { return SimSnapshot::of(c); });
    if (now == shown_ && !firstWatch_)
        return;
    firstWatch_ = false;
    shown_ = now;
    if (view_) {
        // The view turns each joint towards its new place at a servo's speed, on its own ticks.
        for (int id = 0; id < sim::kJointRows; ++id) {
            if (now.joints[static_cast<size_t>(id)] >= 0)
                view_->model().setJointTarget(id, now.joints[static_cast<size_t>(id)]);
            view_->setJointLimp(id, now.limp(id));
        }
    }
    face_->showState(now);
    modeLabel_->setText(modeText());
    lineLabel_->setText(lineText());
}

QString SimWindow::modeText() const
{
    return QString::fromStdString(shown_.modeText());
}

QString SimWindow::lineText() const
{
    const QAction* fast = action("FastLine");
    return QString::fromStdString(shown_.lineText(host_.com(), fast && fast->isChecked() ? 0 : baud_));
}

void SimWindow::restartIfOn(sim::Controller& controller)
{
    if (controller.mode() != sim::Mode::Off)
        controller.control("power on");
}

void SimWindow::saveImage()
{
    if (!host_.isOpen())
        return;
    const QString path = prompter_->saveFile(kImageFilter, QStringLiteral("kz7sim.mem"), QString());
    if (path.isEmpty())
        return;
    const sim::ControllerMemory copy =
        host_.inspect([](const sim::Controller&, const sim::ControllerMemory& m) { return m; });
    std::string error;
    if (!copy.save(path.toStdString(), &error))
        prompter_->inform(tr("The memory image could not be saved: %1").arg(QString::fromStdString(error)));
}

void SimWindow::loadImage()
{
    if (!host_.isOpen())
        return;
    const QString path = prompter_->openFile(kImageFilter, QString());
    if (path.isEmpty())
        return;
    sim::ControllerMemory image;
    std::string error;
    // A missing file would read as fresh memory; here it is a mistake to report.
    if (!QFileInfo(path).isFile())
        error = path.toStdString() + ": no such file";
    else
        image.load(path.toStdString(), &error);
    if (!error.empty()) {
        prompter_->inform(tr("The memory image could not be loaded: %1").arg(QString::fromStdString(error)));
        return;
    }
    host_.changeMemory([&](sim::ControllerMemory& memory, sim::Controller& controller) {
        std::copy(image.data(), image.data() + image.size(), memory.data());
        restartIfOn(controller);
    });
    watch();
}

void SimWindow::eraseProgram()
{
    if (!host_.isOpen() || !prompter_->confirm(tr("Erase the behaviour program in the controller's memory?")))
        return;
    host_.changeMemory([](sim::ControllerMemory& memory, sim::Controller&) { memory.eraseProgram(); });
}

void SimWindow::eraseMotionPages()
{
    if (!host_.isOpen() || !prompter_->confirm(tr("Erase all 128 motion pages in the controller's memory?")))
        return;
    host_.changeMemory([](sim::ControllerMemory& memory, sim::Controller&) {
        std::fill(memory.data() + sim::ControllerMemory::kMotionData,
                  memory.data() + sim::ControllerMemory::kMotionData + sim::ControllerMemory::kMotionSize,
                  0xFF);
    });
}

void SimWindow::blankFirmware()
{
    if (!host_.isOpen() ||
        !prompter_->confirm(tr("Erase the firmware? The controller then answers only in its boot loader, "
                               "until a firmware is downloaded again.")))
        return;
    host_.changeMemory([](sim::ControllerMemory& memory, sim::Controller& controller) {
        memory.eraseFirmware();
        restartIfOn(controller);
    });
    watch();
}

void SimWindow::changeProfile()
{
    const QString start = options_.profile.empty() ? QString::fromStdString(platform::robotFolder())
                                                   : QString::fromStdString(options_.profile);
    const QString path = prompter_->openFile(kProfileFilter, start);
    if (path.isEmpty())
        return;
    // The robot on the bus changes: the controller starts again with the new joints, on the
    // same port and with the same memory.
    sim::SimOptions next = options_;
    next.profile = path.toStdString();
    host_.close();
    if (!startServing(next)) {
        const QString why = QString::fromStdString(failure_);
        // Back to the robot that worked.
        startServing(options_);
        prompter_->inform(tr("The robot profile could not be used: %1").arg(why));
    }
    buildRobotView();
    setFastLine(action("FastLine")->isChecked());
    watch();
}

void SimWindow::injectFault(const QString& command)
{
    struct Fault {
        const char* command;
        const char* question;
        int initial, high;
    };
    static const Fault kFaults[] = {
        {"drop", "How many of the next bytes the controller sends are lost?", 10, 100000},
        {"garble", "How many of the next bytes the controller sends are garbled?", 10, 100000},
        {"stall", "For how many milliseconds does the controller freeze?", 2000, 60000},
        {"vanish", "How many more bytes does the controller send before its port goes away?", 0, 100000},
    };
    for (const Fault& f : kFaults) {
        if (command != QLatin1String(f.command))
            continue;
        const std::optional<int> n = prompter_->askNumber(tr(f.question), f.initial, 0, f.high);
        if (n)
            control(std::string(f.command) + " " + std::to_string(*n));
    }
}

void SimWindow::setFastLine(bool fast)
{
    if (QAction* a = action("FastLine"); a && a->isChecked() != fast)
        a->setChecked(fast);
    if (host_.isOpen())
        host_.setPace(fast ? 0 : baud_);
    firstWatch_ = true;
    watch();
}

void SimWindow::closeEvent(QCloseEvent* e)
{
    watchTimer_.stop();
    // The memory file is written and the COMn link removed before the window goes.
    host_.close();
    e->accept();
}

} // namespace simwindow
