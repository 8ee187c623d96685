#include "posewright/CPosewrightView.h"

#include "posewright/CommandLine.h"
#include "posewright/InfoGridWidgets.h"
#include "posewright/JointListWidget.h"
#include "posewright/Prompter.h"
#include "posewright/ValueControl.h"
#include "robotgl/Main3DView.h"
#include "robotgl/PosePanel.h"
#include "robotview/RobotModel.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace posewright {

CPosewrightView::CPosewrightView(const QString& profilePath, Prompter& prompter, QWidget* parent)
    : QWidget(parent), prompter_(prompter)
{
    setFixedSize(kFormWidth, kFormHeight);

    // The profile and its model are read once; every view starts from a copy. A profile or model
    // that cannot be read is said once, here, instead of leaving eight blank views.
    const robotview::RobotModel model = robotview::RobotModel::read(profilePath.toStdString());
    if (!model.loaded())
        prompter_.inform(QString::fromStdString(model.loadError()));
    main_ = new robotgl::Main3DView(model, this);
    main_->setCaption(QString());
    // The joint list shows the profile's joints in profile order.
    std::vector<std::pair<int, std::string>> joints;
    for (const auto& j : model.profile().joints())
        joints.emplace_back(j.id, j.name);
    core_.setProfileJoints(joints);

    for (int k = 0; k < kPanelCount; ++k) {
        auto* p = new robotgl::PosePanel(k, model, this);
        p->setCaption(QString("Pose %1").arg(k));
        panels_[static_cast<size_t>(k)] = p;
        connect(p, &robotgl::PosePanel::notify, this, [this, p](int id, robotview::PoseGesture code) {
            notify(id, robotview::gestureCode(code), {}, p->dragSourceId());
        });
    }
    for (int k = 0; k < kPanelCount; ++k)
        panels_[static_cast<size_t>(k)]->setNeighbours(
            k > 0 ? panels_[static_cast<size_t>(k - 1)] : nullptr,
            k < kPanelCount - 1 ? panels_[static_cast<size_t>(k + 1)] : nullptr);
    main_->setPosePanels(QList<robotgl::PosePanel*>(panels_.begin(), panels_.end()));

    joints_ = new JointListWidget(core_.jointList(), kJointListId, this);
    pageGrid_ = new PageGridWidget(core_.pageGrid(), kPageGridId, this);
    poseGrid_ = new PoseGridWidget(core_.poseGrid(), kPoseGridId, this);
    playGroup_ = new QGroupBox("Play Motion", this);
    pageNumberLabel_ = new QLabel("Page Number :", playGroup_);
    pageNumber_ = new QLineEdit(playGroup_);
    pageNumber_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), pageNumber_));
    play_ = new QPushButton(posewright::text(Txt::PagePlay), playGroup_);
    save_ = new QPushButton("Page Save", this);
    add_ = new QPushButton("Add Pose", this);
    commandLabel_ = new QLabel("Command >>", this);
    command_ = new CommandLine(kCommandLineId, this);
    messageLabel_ = new QLabel("Message :", this);
    message_ = new QLabel(posewright::text(Txt::NoMessage), this);
    message_->setFrameShape(QFrame::StyledPanel);
    speedLabel_ = new QLabel("Speed :", this);
    pauseLabel_ = new QLabel("Pause :", this);
    speed_ = new ValueControl(kSpeedId, this);
    pause_ = new ValueControl(kPauseId, this);
    main_->setObjectName("main3DView");
    connect(main_, &robotgl::Main3DView::dragRefused, this, [this] {
        core_.dragRefused();
        sync();
    });
    pageNumber_->setObjectName("pageNumber");
    layoutForm();

    auto forward = [this](int id, int code) {
        std::string text;
        if (id == kJointListId)
            text = core_.jointList().editorText();
        else if (id == kSpeedId)
            text = speed_->text().toStdString();
        else if (id == kPauseId)
            text = pause_->text().toStdString();
        notify(id, code, text);
    };
    connect(joints_, &JointListWidget::notify, this, forward);
    connect(speed_, &ValueControl::notify, this, forward);
    connect(pause_, &ValueControl::notify, this, forward);
    connect(pageGrid_, &PageGridWidget::notify, this, forward);
    connect(poseGrid_, &PoseGridWidget::notify, this, forward);
    connect(command_, &CommandLine::notify, this, [this](int id, int code) {
        if (code != kEnterPressed)
            return;
        const std::string text = command_->text().toStdString();
        command_->clear();
        notify(id, code, text);
    });
    connect(save_, &QPushButton::clicked, this, [this] { notify(kPageSaveId, kClicked); });
    connect(add_, &QPushButton::clicked, this, [this] { notify(kAddPoseId, kClicked); });
    connect(play_, &QPushButton::clicked, this,
            [this] { notify(kPagePlayId, kClicked, pageNumber_->text().toStdString()); });

    link_.setEventHandler([this](const motion::LinkEvent& e) { core_.onLinkEvent(e); });
    link_.setMessageHandler([this](const std::string& caption, const std::string& text) {
        sync();
        prompter_.inform(QString::fromStdString(caption), QString::fromStdString(text));
    });

    qApp->installEventFilter(this);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CPosewrightView::onTimer);
    timer_.start();
    followTimer_.setInterval(kFollowMs);
    connect(&followTimer_, &QTimer::timeout, this, [this] {
        if (link_.decodeArrived())
            sync();
    });
    sync();
}

CPosewrightView::~CPosewrightView()
{
    qApp->removeEventFilter(this);
    timer_.stop();
    followTimer_.stop();
    // Closing the link returns the controller to its menu ("\rexit\ry"); nothing is shown any
    // more, so no events.
    link_.setEventHandler({});
    link_.setMessageHandler({});
    link_.disconnect();
    // The controls paint the core's models and hear focus changes while they go away: delete
    // them while the core still exists.
    qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
}

void CPosewrightView::layoutForm()
{
    const int right = 734, rightW = 258;
    main_->setGeometry(8, 8, 420, 400);
    joints_->setGeometry(436, 8, 290, 400);
    pageGrid_->setGeometry(right, 8, rightW, 236);
    playGroup_->setGeometry(right, 250, rightW, 58);
    pageNumberLabel_->setGeometry(8, 24, 90, 24);
    pageNumber_->setGeometry(98, 24, 50, 24);
    play_->setGeometry(156, 22, 94, 28);
    save_->setGeometry(right, 314, rightW, 28);
    speedLabel_->setGeometry(right, 350, 60, 22);
    speed_->setGeometry(right + 60, 350, 80, 22);
    pauseLabel_->setGeometry(right, 378, 60, 22);
    pause_->setGeometry(right + 60, 378, 80, 22);
    add_->setGeometry(right, 410, rightW, 28);
    commandLabel_->setGeometry(8, 416, 90, 22);
    command_->setGeometry(98, 416, 330, 22);
    messageLabel_->setGeometry(436, 416, 62, 22);
    message_->setGeometry(498, 416, 228, 22);
    const int panelW = 136, gap = 5;
    for (int k = 0; k < kPanelCount; ++k)
        panels_[static_cast<size_t>(k)]->setGeometry(8 + k * (panelW + gap), 448, panelW, 150);
    poseGrid_->setGeometry(8, 604, kFormWidth - 16, 48);
}

void CPosewrightView::start(int portNumber)
{
    core_.connectTo(portNumber);
    sync();
}

void CPosewrightView::menu(MenuCommand command)
{
    core_.menu(command);
    sync();
}

void CPosewrightView::notify(int controlId, int code, const std::string& text, int sourceId)
{
    core_.notify(controlId, code, text, sourceId);
    sync();
}

void CPosewrightView::onTimer()
{
    core_.tick();
    sync();
}

void CPosewrightView::sync()
{
    const ControlStates c = core_.controls();
    // The line is narrower than the controller's longer messages: the whole text is its tooltip
    // (and the main window's status bar).
    message_->setText(QString::fromStdString(core_.message()));
    message_->setToolTip(message_->text());
    play_->setText(QString::fromStdString(core_.playCaption()));
    play_->setEnabled(c.pagePlay);
    save_->setEnabled(c.pageSave);
    add_->setEnabled(c.addPose);
    pageNumber_->setEnabled(c.pageNumberEdit);
    command_->setEnabled(c.commandLine);
    for (QWidget* w : {static_cast<QWidget*>(speed_), static_cast<QWidget*>(pause_),
                       static_cast<QWidget*>(speedLabel_), static_cast<QWidget*>(pauseLabel_)})
        w->setVisible(c.valueControlsShown);
    speed_->setEnabled(c.valueControls);
    pause_->setEnabled(c.valueControls);
    // A repaint replaces what is being typed; nothing else does.
    auto show = [](int& shown, int writes, ValueControl* control, const std::string& text) {
        if (shown != writes) {
            shown = writes;
            control->setText(QString::fromStdString(text));
        }
    };
    show(shownSpeed_, core_.speedWrites(), speed_, core_.speedText());
    show(shownPause_, core_.pauseWrites(), pause_, core_.pauseText());
    if (shownPageNumber_ != core_.pageNumberWrites()) {
        shownPageNumber_ = core_.pageNumberWrites();
        pageNumber_->setText(QString::fromStdString(core_.pageNumberText()));
    }

    joints_->sync();
    pageGrid_->sync(core_.offsetPage());
    poseGrid_->sync();

    const bool live = core_.inEditScreen();
    main_->setLive(live);
    main_->setMayDrag(c.mayDrag);
    main_->setAllJointsKnown(core_.allJointsKnown());
    const bool liveEvent = shownEditScreen_ != core_.editScreenEvents();
    shownEditScreen_ = core_.editScreenEvents();
    for (int k = 0; k < kPanelCount; ++k) {
        robotgl::PosePanel* p = panels_[static_cast<size_t>(k)];
        if (liveEvent)
            p->setLive(live);
        p->setInteractive(c.interactive);
        p->setOffsetPage(core_.offsetPage());
        p->setLit(core_.lit(k));
        p->setSelected(k == core_.selectedPose());
    }
    if (link_.decodesAsItArrives() != followTimer_.isActive()) {
        if (link_.decodesAsItArrives())
            followTimer_.start();
        else
            followTimer_.stop();
    }
    if (core_.busy())
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    emit formSynced();
}

bool CPosewrightView::eventFilter(QObject* watched, QEvent* event)
{
    // A left release anywhere on the form, away from every pose panel, ends a drag as a drop
    // would (the panels under the pointer handle their own release).
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && (w == this || isAncestorOf(w))) {
            bool overPanel = false;
            for (robotgl::PosePanel* p : panels_)
                overPanel = overPanel || p->mouseInside();
            if (!overPanel)
                for (robotgl::PosePanel* p : panels_) {
                    p->setDragState(robotview::DragState::None);
                    p->setDropZone(robotview::DropZone::None);
                    p->setIsSource(false);
                }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CPosewrightView::askYesNo(const std::string& text)
{
    sync();
    return prompter_.askYesNo(QString::fromStdString(text));
}

SaveChoice CPosewrightView::askSaveChanges(const std::string& text)
{
    sync();
    switch (prompter_.askSave(QString::fromStdString(text))) {
    case guikit::SaveAnswer::Save:
        return SaveChoice::Save;
    case guikit::SaveAnswer::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

std::optional<int> CPosewrightView::choosePort(int savedPort)
{
    return prompter_.choosePort(savedPort);
}

void CPosewrightView::setMainTarget(int id, int value)
{
    main_->model().setJointTarget(id, value);
}

void CPosewrightView::setPanelTarget(int pose, int id, int value)
{
    if (pose >= 0 && pose < kPanelCount)
        panels_[static_cast<size_t>(pose)]->model().setJointTarget(id, value);
}

void CPosewrightView::resetDrag(int panel)
{
    if (panel >= 0 && panel < kPanelCount)
        panels_[static_cast<size_t>(panel)]->resetDrag();
}

void CPosewrightView::resetViews()
{
    main_->resetView();
    for (robotgl::PosePanel* p : panels_)
        p->resetView();
}

} // namespace posewright
