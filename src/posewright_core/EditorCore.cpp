#include "posewright_core/EditorCore.h"

#include "motion/MotionLink.h"
#include "posewright_core/ValueText.h"

#include <cstdio>
#include <vector>

namespace posewright {

// ---------------------------------------------------------------------------------------------
// The link

bool MotionLinkPort::connect(const std::string& portName)
{
    return link_.connect(portName);
}
void MotionLinkPort::disconnect()
{
    link_.disconnect();
}
bool MotionLinkPort::isOpen() const
{
    return link_.isOpen();
}
bool MotionLinkPort::send(const std::string& command, bool longWait)
{
    return link_.send(command, longWait);
}
void MotionLinkPort::tick()
{
    link_.tick();
}
void MotionLinkPort::setDecodeAsItArrives(bool on)
{
    link_.setDecodeAsItArrives(on);
}

namespace {

// What happens to the form around a command.
enum class After {
    Nothing,
    Disable,          // setUiEnabled(false) once it is sent
    DisableFirst,     // setUiEnabled(false) before it is sent
    StartPlay,        // the play button becomes "Stop", the only control left
    ClearCommandLine, // handled by the form, which empties its edit after Enter
};

// Whether a command changes the open page (and so leaves it unsaved).
constexpr bool kChanges = true;
constexpr bool kKeeps = false;

struct ActionCommand {
    UserAction action;
    const char* cursor;  // a cursor move sent first, or none
    const char* command; // %d: the numbers in order; %s: the text
    bool longWait;
    After after;
    bool changesPage;
};

// Every user action: the console command it sends and the reply wait.
constexpr ActionCommand kActions[] = {
    {UserAction::PageSave, nullptr, "save\r", true, After::Disable, kKeeps},
    {UserAction::PagePlay, nullptr, "play %d\r", false, After::StartPlay, kKeeps},
    {UserAction::PageStop, nullptr, "\x1b", true, After::DisableFirst, kKeeps},
    {UserAction::AddPose, nullptr, "write\r", false, After::Nothing, kChanges},
    {UserAction::CommandLine, nullptr, "%s\r", false, After::ClearCommandLine, kChanges},
    {UserAction::JointSet, nullptr, "set %d\r", false, After::Nothing, kKeeps},
    {UserAction::JointStepUp, nullptr, "]", false, After::Nothing, kKeeps},
    {UserAction::JointStepDown, nullptr, "[", false, After::Nothing, kKeeps},
    {UserAction::JointPick, nullptr, "goto 0 %d\r", false, After::Nothing, kKeeps},
    {UserAction::JointsOn, nullptr, "on%s\r", false, After::Nothing, kKeeps},
    {UserAction::JointsOff, nullptr, "off%s\r", false, After::Nothing, kKeeps},
    {UserAction::SpeedSet, "goto 0 32\r", "set %d\r", false, After::Nothing, kKeeps},
    {UserAction::SpeedStepUp, "goto 0 32\r", "]", false, After::Nothing, kKeeps},
    {UserAction::SpeedStepDown, "goto 0 32\r", "[", false, After::Nothing, kKeeps},
    {UserAction::PauseSet, "goto 0 31\r", "set %d\r", false, After::Nothing, kKeeps},
    {UserAction::PauseStepUp, "goto 0 31\r", "]", false, After::Nothing, kKeeps},
    {UserAction::PauseStepDown, "goto 0 31\r", "[", false, After::Nothing, kKeeps},
    {UserAction::PageFieldPick, nullptr, "goto 9 %d\r", false, After::Nothing, kKeeps},
    {UserAction::PageOpen, nullptr, "page %d\r", false, After::Disable, kKeeps},
    {UserAction::PageNext, nullptr, "n\r", false, After::Disable, kKeeps},
    {UserAction::PagePrevious, nullptr, "b\r", false, After::Disable, kKeeps},
    {UserAction::PageFieldSet, nullptr, "set %d\r", false, After::Nothing, kChanges},
    {UserAction::PageFieldStepUp, nullptr, "]", false, After::Nothing, kChanges},
    {UserAction::PageFieldStepDown, nullptr, "[", false, After::Nothing, kChanges},
    {UserAction::PageRename, nullptr, "name\r%s\r", false, After::Nothing, kChanges},
    {UserAction::PoseFieldPick, nullptr, "goto %d %d\r", false, After::Nothing, kKeeps},
    {UserAction::PoseFieldSet, nullptr, "set %d\r", false, After::Nothing, kChanges},
    {UserAction::PoseFieldStepUp, nullptr, "]", false, After::Nothing, kChanges},
    {UserAction::PoseFieldStepDown, nullptr, "[", false, After::Nothing, kChanges},
    {UserAction::PoseGo, nullptr, "go %d\r", false, After::Nothing, kKeeps},
    {UserAction::PoseWrite, nullptr, "w %d\r", false, After::Nothing, kChanges},
    {UserAction::PoseInsertBefore, nullptr, "i %d\r", false, After::Nothing, kChanges},
    {UserAction::PoseInsertAfter, nullptr, "i %d\r", false, After::Nothing, kChanges},
    {UserAction::PoseMove, nullptr, "move %d %d\r", false, After::Nothing, kChanges},
    {UserAction::PoseMirror, nullptr, "m %d\r", false, After::Nothing, kChanges},
    {UserAction::PoseDelete, nullptr, "d %d\r", false, After::Nothing, kChanges},
    {UserAction::Refresh, nullptr, "re\r", false, After::DisableFirst, kKeeps},
    {UserAction::OffsetPage, nullptr, "p 0\r", true, After::Disable, kKeeps},
};

struct Route {
    int firstId;
    int lastId;
    int code;
    UserAction action;
};

// Every control notification and the action it stands for. The grids' entries name the plain
// field actions; which page operation a page-number row stands for is decided by its row.
constexpr Route kRoutes[] = {
    {kPageSaveId, kPageSaveId, kClicked, UserAction::PageSave},
    {kPagePlayId, kPagePlayId, kClicked, UserAction::PagePlay},
    {kAddPoseId, kAddPoseId, kClicked, UserAction::AddPose},
    {kCommandLineId, kCommandLineId, kEnterPressed, UserAction::CommandLine},
    {kJointListId, kJointListId, JointList::ValueEntered, UserAction::JointSet},
    {kJointListId, kJointListId, JointList::StepUp, UserAction::JointStepUp},
    {kJointListId, kJointListId, JointList::StepDown, UserAction::JointStepDown},
    {kJointListId, kJointListId, JointList::Picked, UserAction::JointPick},
    {kJointListId, kJointListId, JointList::On, UserAction::JointsOn},
    {kJointListId, kJointListId, JointList::Off, UserAction::JointsOff},
    {kSpeedId, kSpeedId, kValueEntered, UserAction::SpeedSet},
    {kSpeedId, kSpeedId, kValueStepUp, UserAction::SpeedStepUp},
    {kSpeedId, kSpeedId, kValueStepDown, UserAction::SpeedStepDown},
    {kPauseId, kPauseId, kValueEntered, UserAction::PauseSet},
    {kPauseId, kPauseId, kValueStepUp, UserAction::PauseStepUp},
    {kPauseId, kPauseId, kValueStepDown, UserAction::PauseStepDown},
    {kPageGridId, kPageGridId, GridPicked, UserAction::PageFieldPick},
    {kPageGridId, kPageGridId, GridEntered, UserAction::PageFieldSet},
    {kPageGridId, kPageGridId, GridStepUp, UserAction::PageFieldStepUp},
    {kPageGridId, kPageGridId, GridStepDown, UserAction::PageFieldStepDown},
    {kPoseGridId, kPoseGridId, GridPicked, UserAction::PoseFieldPick},
    {kPoseGridId, kPoseGridId, GridEntered, UserAction::PoseFieldSet},
    {kPoseGridId, kPoseGridId, GridStepUp, UserAction::PoseFieldStepUp},
    {kPoseGridId, kPoseGridId, GridStepDown, UserAction::PoseFieldStepDown},
    {kFirstPosePanel, kLastPosePanel, kPanelDoubleClicked, UserAction::PoseGo},
    {kFirstPosePanel, kLastPosePanel, kPanelDroppedRight, UserAction::PoseInsertAfter},
    {kFirstPosePanel, kLastPosePanel, kPanelDroppedLeft, UserAction::PoseInsertBefore},
    {kFirstPosePanel, kLastPosePanel, kPanelDroppedInto, UserAction::PoseWrite},
    {kFirstPosePanel, kLastPosePanel, kPanelMovedOnto, UserAction::PoseMove},
    {kFirstPosePanel, kLastPosePanel, kPanelMirror, UserAction::PoseMirror},
    {kFirstPosePanel, kLastPosePanel, kPanelDelete, UserAction::PoseDelete},
};

const ActionCommand* commandFor(UserAction action)
{
    for (const ActionCommand& a : kActions)
        if (a.action == action)
            return &a;
    return nullptr;
}

// Fills %d with the numbers in order and %s with the text. The text is never read as a format,
// so a "%" typed on the command line goes out as it is.
std::string fill(const char* format, std::initializer_list<int> numbers, const std::string& text)
{
    std::string out;
    auto number = numbers.begin();
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 'd') {
            out += number != numbers.end() ? std::to_string(*number++) : std::string();
            ++p;
        } else if (p[0] == '%' && p[1] == 's') {
            out += text;
            ++p;
        } else {
            out.push_back(*p);
        }
    }
    return out;
}

} // namespace

EditorCore::EditorCore(EditorPort& port, EditorSurface& surface) : port_(port), surface_(surface)
{
    applyEnables();
}

void EditorCore::setProfileJoints(const std::vector<std::pair<int, std::string>>& joints)
{
    joints_.setProfile(joints);
    applyEnables();
}

std::optional<UserAction> EditorCore::route(int controlId, int code)
{
    for (const Route& r : kRoutes)
        if (controlId >= r.firstId && controlId <= r.lastId && code == r.code)
            return r.action;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// State

ControlStates EditorCore::controls() const
{
    ControlStates c;
    const bool e = enabled_;
    const bool normalPage = !offsetPage_;
    c.commandLine = e;
    c.pageSave = e;
    // While a page plays the play button (then "Stop") is the only control left.
    c.pagePlay = playing_ || (e && normalPage);
    c.addPose = e && normalPage;
    c.pageNumberEdit = e && normalPage;
    c.valueControls = e && normalPage;
    c.valueControlsShown = inEditScreen_;
    c.jointList = e;
    c.pageGrid = e && inEditScreen_;
    c.poseGrid = e && inEditScreen_ && normalPage;
    c.mayDrag = e;
    c.interactive = e;
    return c;
}

void EditorCore::applyEnables()
{
    const ControlStates c = controls();
    joints_.setEnabled(c.jointList);
    pageGrid_.setEnabled(c.pageGrid);
    poseGrid_.setEnabled(c.poseGrid);
}

void EditorCore::setUiEnabled(bool enabled)
{
    enabled_ = enabled;
    busy_ = !enabled;
    applyEnables();
}

void EditorCore::enterDisconnected()
{
    pageModified_ = false;
    playCaption_ = kPlayCaption;
    playing_ = false;
    port_.setDecodeAsItArrives(false);
    offsetPage_ = false;
    busy_ = false;
    applyEnables();
}

bool EditorCore::menuEnabled(MenuCommand command) const
{
    switch (command) {
    case MenuCommand::Connect:
        return !port_.isOpen();
    case MenuCommand::Disconnect:
        return port_.isOpen();
    case MenuCommand::RefreshPage:
    case MenuCommand::Reset3DView:
        return inEditScreen_;
    case MenuCommand::OffsetConfiguration:
        return inEditScreen_ && !offsetPage_;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Connecting

bool EditorCore::connectTo(int portNumber)
{
    busy_ = true;
    surface_.stateChanged(); // the wait cursor while the connect blocks
    if (!port_.connect("COM" + std::to_string(portNumber))) {
        message_ = kCannotFindText;
        busy_ = false;
        return false;
    }
    savedPort_ = portNumber;
    message_ = kConnectingText;
    return true;
}

void EditorCore::menu(MenuCommand command)
{
    if (!menuEnabled(command))
        return;
    switch (command) {
    case MenuCommand::Connect:
        if (auto port = surface_.choosePort(savedPort_))
            connectTo(*port);
        return;
    case MenuCommand::Disconnect:
        if (!confirmLeavingPage())
            return;
        port_.disconnect();
        message_ = kDisconnectedText;
        enterDisconnected();
        return;
    case MenuCommand::RefreshPage:
        perform(UserAction::Refresh, {});
        return;
    case MenuCommand::Reset3DView:
        surface_.resetViews();
        return;
    case MenuCommand::OffsetConfiguration:
        if (surface_.askYesNo(kOffsetQuestion))
            perform(UserAction::OffsetPage, {});
        return;
    }
}

bool EditorCore::confirmLeavingPage()
{
    if (!pageModified_ || !port_.isOpen())
        return true;
    char text[160];
    std::snprintf(text, sizeof text, kUnsavedPageQuestion, pageGrid_.value(PageGrid::kNumberRow));
    switch (surface_.askSaveChanges(text)) {
    case SaveChoice::Save:
        perform(UserAction::PageSave, {});
        return true;
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        return false;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// User actions

void EditorCore::send(const std::string& command, bool longWait)
{
    port_.send(command, longWait);
    // A reply that repeats the last text still steers the editor.
    watcher_.reset();
}

void EditorCore::perform(UserAction action, std::initializer_list<int> numbers, const std::string& text)
{
    const ActionCommand* row = commandFor(action);
    if (!row)
        return;
    const ActionCommand& a = *row;
    if (a.after == After::DisableFirst)
        setUiEnabled(false);
    if (a.cursor)
        port_.send(a.cursor, false);
    send(fill(a.command, numbers, text), a.longWait);
    if (a.changesPage)
        pageModified_ = true;
    if (a.after == After::Disable)
        setUiEnabled(false);
    if (a.after == After::StartPlay) {
        playCaption_ = kStopCaption;
        setUiEnabled(false);
        busy_ = false;
        playing_ = true;
        // From the play command to the closing message the views follow the play pose by pose.
        port_.setDecodeAsItArrives(true);
    }
}

void EditorCore::valueNotified(UserAction action, const std::string& text)
{
    // A value that is not a number, or does not fit one, sends nothing.
    if (auto v = parseNumber(text))
        perform(action, {*v});
}

void EditorCore::playPage(const std::string& editText)
{
    auto page = parseNumberIn(editText, 0, 127);
    if (!page) {
        page = pageGrid_.value(PageGrid::kNumberRow);
        pageNumberText_ = decimal(*page);
        ++pageNumberWrites_;
    }
    perform(UserAction::PagePlay, {*page});
}

void EditorCore::gridNotified(int code)
{
    const int row = pageGrid_.editorRow();
    const bool numberRow = row == PageGrid::kNumberRow;
    switch (code) {
    case GridPicked:
        if (row >= 3)
            perform(UserAction::PageFieldPick, {pageGrid_.editedRow()});
        return;
    case GridEntered:
        if (!pageGrid_.numeric()) {
            perform(UserAction::PageRename, {}, pageGrid_.editedText());
        } else if (numberRow) {
            if (auto page = parseNumberIn(pageGrid_.editedText(), 1, 127))
                perform(UserAction::PageOpen, {*page});
        } else {
            valueNotified(UserAction::PageFieldSet, pageGrid_.editedText());
        }
        return;
    case GridStepUp:
        perform(numberRow ? UserAction::PageNext : UserAction::PageFieldStepUp, {});
        return;
    case GridStepDown:
        perform(numberRow ? UserAction::PagePrevious : UserAction::PageFieldStepDown, {});
        return;
    default:
        return;
    }
}

void EditorCore::poseGridNotified(int code)
{
    const int c = poseGrid_.editedColumn();
    switch (code) {
    case GridPicked:
        perform(UserAction::PoseFieldPick, {c / 2 + 1, c % 2 == 0 ? 32 : 31});
        return;
    case GridEntered:
        valueNotified(UserAction::PoseFieldSet, poseGrid_.editedText());
        return;
    case GridStepUp:
        perform(UserAction::PoseFieldStepUp, {});
        return;
    case GridStepDown:
        perform(UserAction::PoseFieldStepDown, {});
        return;
    default:
        return;
    }
}

void EditorCore::panelNotified(int panel, int code, int sourceId)
{
    switch (code) {
    case kPanelDroppedRight:
        perform(UserAction::PoseInsertAfter, {panel + 1});
        return;
    case kPanelMovedOnto: {
        const int from = sourceId - kFirstPosePanel;
        if (from < 0 || from >= kPanelCount || from == panel)
            return; // no other panel was dragged here
        surface_.resetDrag(from);
        perform(UserAction::PoseMove, {from, panel});
        return;
    }
    default:
        if (auto action = route(kFirstPosePanel + panel, code))
            perform(*action, {panel});
        return;
    }
}

void EditorCore::notify(int controlId, int code, const std::string& text, int sourceId)
{
    const auto action = route(controlId, code);
    if (!action)
        return;
    // Joint commands name the profile's joints; without a profile there are none to name (a bare
    // "on" or "off" would reach whatever the controller makes of it).
    if (controlId == kJointListId && joints_.joints().empty())
        return;
    switch (*action) {
    case UserAction::PagePlay:
        if (playing_)
            perform(UserAction::PageStop, {});
        else
            playPage(text);
        return;
    case UserAction::CommandLine:
        perform(*action, {}, text);
        return;
    case UserAction::JointSet:
    case UserAction::SpeedSet:
    case UserAction::PauseSet:
        valueNotified(*action, text);
        return;
    case UserAction::JointPick:
        perform(*action, {joints_.pickedId()});
        return;
    case UserAction::JointsOn:
    case UserAction::JointsOff:
        perform(*action, {}, joints_.selectedIds());
        return;
    default:
        break;
    }
    if (controlId == kPageGridId)
        gridNotified(code);
    else if (controlId == kPoseGridId)
        poseGridNotified(code);
    else if (controlId >= kFirstPosePanel && controlId <= kLastPosePanel)
        panelNotified(controlId - kFirstPosePanel, code, sourceId);
    else
        perform(*action, {});
}

// ---------------------------------------------------------------------------------------------
// The controller's replies

void EditorCore::tick()
{
    if (ticking_)
        return;
    ticking_ = true;
    port_.tick();
    ticking_ = false;
}

void EditorCore::onMessage(const std::string& text)
{
    const motion::ReplySteering steer = watcher_.onMessage(text, playing_);
    if (steer.askQuestion) {
        surface_.stateChanged();
        const bool yes = surface_.askYesNo(motion::kIncorrectPoseQuestion);
        // Not send(): the rest of the same question must not count as a new one.
        port_.send(motion::answerFor(yes), false);
        if (!yes)
            setUiEnabled(true);
    }
    if (steer.playingEnded) {
        setUiEnabled(true);
        playCaption_ = kPlayCaption;
        playing_ = false;
        port_.setDecodeAsItArrives(false);
        applyEnables();
    }
    if (steer.reEnable) {
        setUiEnabled(true);
        pageModified_ = false; // the controller is writing the page
    }
    message_ = text;
}

void EditorCore::onLinkEvent(const motion::LinkEvent& e)
{
    using motion::LinkEventCode;
    switch (e.code) {
    case LinkEventCode::MessageChanged:
        onMessage(e.text);
        return;
    case LinkEventCode::CurrentJointChanged:
        if (e.present && e.known)
            surface_.setMainTarget(e.index, e.value);
        joints_.setJoint(e.index, e.present, e.known, e.value);
        allJointsKnown_ = joints_.allPresentKnown();
        return;
    case LinkEventCode::PoseJointChanged:
        if (e.present && e.known && e.index >= 0 && e.index < kPanelCount)
            surface_.setPanelTarget(e.index, e.secondIndex, e.value);
        return;
    case LinkEventCode::CurrentPauseChanged:
        pauseText_ = decimal(e.value);
        ++pauseWrites_;
        return;
    case LinkEventCode::CurrentSpeedChanged:
        speedText_ = decimal(e.value);
        ++speedWrites_;
        return;
    case LinkEventCode::PosePauseChanged:
        poseGrid_.setValue(2 * e.index + 1, e.value);
        return;
    case LinkEventCode::PoseSpeedChanged:
        poseGrid_.setValue(2 * e.index, e.value);
        return;
    case LinkEventCode::PageInfoChanged:
        if (e.index == 0) {
            pageGrid_.setName(e.text);
            return;
        }
        // Another page is open: what was changed on the last one is saved or given up.
        if (e.index == PageGrid::kNumberRow && pageGrid_.value(PageGrid::kNumberRow) != e.value)
            pageModified_ = false;
        pageGrid_.setValue(e.index, e.value);
        if (e.index == PageGrid::kNumberRow) {
            pageNumberText_ = decimal(e.value);
            ++pageNumberWrites_;
            offsetPage_ = e.value == 0;
            applyEnables();
        }
        if (e.index == 4)
            for (int p = 0; p < kPanelCount; ++p)
                lit_[static_cast<size_t>(p)] = p < e.value;
        return;
    case LinkEventCode::EditScreenChanged:
        inEditScreen_ = e.present;
        ++editScreenEvents_;
        joints_.setLive(e.present);
        if (!e.present) {
            allJointsKnown_ = joints_.allPresentKnown();
            // No page is shown any more: nothing of the old one may look current.
            selectedPose_ = -1;
            lit_.fill(false);
            pageModified_ = false;
            pageGrid_.clearValues();
            poseGrid_.clearValues();
        }
        setUiEnabled(e.present);
        if (!e.present)
            busy_ = false;
        return;
    case LinkEventCode::SelectedPoseChanged:
        selectedPose_ = e.value;
        return;
    case LinkEventCode::LinkLost:
        message_ = e.text;
        // However the link went, nothing is outstanding any more: only "Connect KZ-7" is left.
        enterDisconnected();
        return;
    }
}

} // namespace posewright
