#pragma once
// The motion editor's behaviour without widgets: which controller command every click, key and
// drop sends (and how long it waits for the reply), and what every LinkEvent from the controller
// changes on the form. The form (CPosewrightView) only passes its controls' notifications in and
// shows the state kept here; the controller's repaint is the only thing that changes it.
//
// Failure in this library: the controller's answers and refusals become events for the form
// (message line, questions), never return values.

#include "motion/LinkEvent.h"
#include "motion/MotionReplies.h"
#include "posewright_core/InfoGrids.h"
#include "posewright_core/JointList.h"
#include "posewright_texts/PosewrightTexts.h"
#include "robotview/PoseGestures.h"

#include <array>
#include <optional>
#include <string>

namespace motion {
class MotionLink;
}

namespace posewright {

// Control IDs of the form; a control's notification is the pair (ID, code).
enum ControlId : int {
    kFirstPosePanel = 1001, // pose panel k is 1001 + k
    kLastPosePanel = 1007,
    kJointListId = 1008,
    kCommandLineId = 1009,
    kPageGridId = 1016,
    kPoseGridId = 1017,
    kPageSaveId = 1018,
    kPagePlayId = 1019,
    kAddPoseId = 1020,
    kSpeedId = 1026,
    kPauseId = 1027,
    kPageNumberEditId = 1029,
};
constexpr int kClicked = 0;         // a button's notification
constexpr int kEnterPressed = 1000; // the command line's Enter
constexpr int kPanelCount = 7;

// Codes of a value control (Speed, Pause and every cell editor).
enum ValueCode : int { kValueEntered = 200, kValueStepDown = 201, kValueStepUp = 202, kValueFocusLost = 203 };

enum class UserAction {
    PageSave,
    PagePlay,
    PageStop,
    AddPose,
    CommandLine,
    JointSet,
    JointStepUp,
    JointStepDown,
    JointPick,
    JointsOn,
    JointsOff,
    SpeedSet,
    SpeedStepUp,
    SpeedStepDown,
    PauseSet,
    PauseStepUp,
    PauseStepDown,
    PageFieldPick,
    PageOpen,
    PageNext,
    PagePrevious,
    PageFieldSet,
    PageFieldStepUp,
    PageFieldStepDown,
    PageRename,
    PoseFieldPick,
    PoseFieldSet,
    PoseFieldStepUp,
    PoseFieldStepDown,
    PoseGo,
    PoseWrite,
    PoseInsertBefore,
    PoseInsertAfter,
    PoseMove,
    PoseMirror,
    PoseDelete,
    Refresh,
    OffsetPage,
};

enum class MenuCommand { Connect, Disconnect, RefreshPage, Reset3DView, OffsetConfiguration };

// What the editor needs of its controller link.
class EditorPort {
  public:
    virtual ~EditorPort() = default;
    virtual bool connect(const std::string& portName) = 0;
    virtual void disconnect() = 0;
    virtual bool isOpen() const = 0;
    virtual bool send(const std::string& command, bool longWait) = 0;
    virtual void tick() = 0;
    // Decode the controller's painting as it arrives (a page playing) or once the line is quiet.
    virtual void setDecodeAsItArrives(bool on) = 0;
};

// The real link behind EditorPort.
class MotionLinkPort : public EditorPort {
  public:
    explicit MotionLinkPort(motion::MotionLink& link) : link_(link) {}
    bool connect(const std::string& portName) override;
    void disconnect() override;
    bool isOpen() const override;
    bool send(const std::string& command, bool longWait) override;
    void tick() override;
    void setDecodeAsItArrives(bool on) override;

  private:
    motion::MotionLink& link_;
};

enum class SaveChoice { Save, Discard, Cancel };

// What the editor asks of its form beyond showing the state.
class EditorSurface {
  public:
    virtual ~EditorSurface() = default;
    virtual bool askYesNo(const std::string& text) = 0;
    // Save, Discard or Cancel, before an action that would leave a page with unsaved changes.
    virtual SaveChoice askSaveChanges(const std::string& text) = 0;
    // The "Select COM port" dialog; nullopt when cancelled.
    virtual std::optional<int> choosePort(int savedPort) = 0;
    virtual void setMainTarget(int id, int value) = 0;
    virtual void setPanelTarget(int pose, int id, int value) = 0;
    virtual void resetDrag(int panel) = 0;
    virtual void resetViews() = 0;
    // Show the state now (before a blocking connect or a modal box).
    virtual void stateChanged() = 0;
};

// Which controls may be used, derived from the editor's flags.
struct ControlStates {
    bool commandLine = false;
    bool pagePlay = false;
    bool pageSave = false;
    bool addPose = false;
    bool pageNumberEdit = false;
    bool valueControls = false;      // Speed and Pause enabled
    bool valueControlsShown = false; // Speed and Pause shown
    bool jointList = false;
    bool pageGrid = false;
    bool poseGrid = false;
    bool mayDrag = false;     // the main 3D view may start a drag
    bool interactive = false; // the pose panels take gestures
    bool operator==(const ControlStates&) const = default;
};

class EditorCore {
  public:
    EditorCore(EditorPort& port, EditorSurface& surface);

    void setProfileJoints(const std::vector<std::pair<int, std::string>>& joints);

    // Connects to "COM%d" with the port number; on success it becomes the saved port.
    bool connectTo(int portNumber);
    int savedPort() const { return savedPort_; }
    // The port kept in the settings: the port dialog's first choice until a connect succeeds.
    void setSavedPort(int portNumber) { savedPort_ = portNumber; }

    // A control's notification. text carries what the control holds (the command line, an
    // edit, the joint list's value editor); sourceId the dragged panel's ID for 104.
    void notify(int controlId, int code, const std::string& text = {}, int sourceId = 0);
    void notify(int controlId, robotview::PoseGesture gesture, const std::string& text = {}, int sourceId = 0)
    {
        notify(controlId, robotview::gestureCode(gesture), text, sourceId);
    }
    void menu(MenuCommand command);
    bool menuEnabled(MenuCommand command) const;
    void onLinkEvent(const motion::LinkEvent& event);
    // The main view refused to start a drag: the message line says why.
    void dragRefused() { message_ = posewright::text(Txt::UnknownJoint); }
    // The 100 ms poll. Returns at once while a tick is running, including while the Yes/No
    // box of a question runs its own event loop inside one.
    void tick();

    // Whether the open page has changes the controller has not saved, as far as the commands sent
    // since it was opened or saved tell.
    bool pageModified() const { return pageModified_; }
    // Before closing the link with the page open (Exit, Disconnect), whose "exit" answers the
    // controller's own "not saved" question with "y": with unsaved changes asks Save, Discard or
    // Cancel. Save sends "save" first. False when the user cancelled. (Another page opened from
    // the form shows the controller's question to the user, who may still say No.)
    bool confirmLeavingPage();

    // The action behind a notification, for the form's tests and tooling.
    static std::optional<UserAction> route(int controlId, int code);

    // State the form shows.
    bool inEditScreen() const { return inEditScreen_; }
    bool enabled() const { return enabled_; }
    bool busy() const { return busy_; }
    bool playing() const { return playing_; }
    bool offsetPage() const { return offsetPage_; }
    bool allJointsKnown() const { return allJointsKnown_; }
    const std::string& message() const { return message_; }
    const std::string& playCaption() const { return playCaption_; }
    const std::string& speedText() const { return speedText_; }
    const std::string& pauseText() const { return pauseText_; }
    const std::string& pageNumberText() const { return pageNumberText_; }
    // Counts writes of the page-number text, so that the form writes its edit even when the
    // text did not change (a replaced out-of-range entry).
    int pageNumberWrites() const { return pageNumberWrites_; }
    // Count the controller's writes of Speed and Pause, for the same reason: a repaint of the
    // same value still replaces what was typed and not entered.
    int speedWrites() const { return speedWrites_; }
    int pauseWrites() const { return pauseWrites_; }
    bool lit(int panel) const { return lit_.at(static_cast<size_t>(panel)); }
    int selectedPose() const { return selectedPose_; }
    // Counts EditScreenChanged events: the panels' setLive runs once per event, as it also
    // clears their pressed and selected state.
    int editScreenEvents() const { return editScreenEvents_; }
    ControlStates controls() const;
    JointList& jointList() { return joints_; }
    const JointList& jointList() const { return joints_; }
    PageGrid& pageGrid() { return pageGrid_; }
    const PageGrid& pageGrid() const { return pageGrid_; }
    PoseGrid& poseGrid() { return poseGrid_; }
    const PoseGrid& poseGrid() const { return poseGrid_; }

  private:
    void perform(UserAction action, std::initializer_list<int> numbers, const std::string& text = {});
    void send(const std::string& command, bool longWait);
    void setUiEnabled(bool enabled);
    void applyEnables();
    void enterDisconnected();
    void onMessage(const std::string& text);
    void playPage(const std::string& editText);
    void gridNotified(int code);
    void poseGridNotified(int code);
    void panelNotified(int panel, int code, int sourceId);
    void valueNotified(UserAction action, const std::string& text);

    EditorPort& port_;
    EditorSurface& surface_;
    motion::ReplyWatcher watcher_;
    JointList joints_;
    PageGrid pageGrid_;
    PoseGrid poseGrid_;

    int savedPort_ = 1;
    bool inEditScreen_ = false;
    bool enabled_ = false;
    bool busy_ = false;
    bool playing_ = false;
    bool offsetPage_ = false;
    bool allJointsKnown_ = true;
    bool ticking_ = false;
    std::string message_ = posewright::text(Txt::NoMessage);
    std::string playCaption_ = posewright::text(Txt::PagePlay);
    std::string speedText_ = "0";
    std::string pauseText_ = "0";
    std::string pageNumberText_;
    std::array<bool, kPanelCount> lit_{};
    int selectedPose_ = -1;
    int editScreenEvents_ = 0;
    int pageNumberWrites_ = 0;
    int speedWrites_ = 0;
    int pauseWrites_ = 0;
    bool pageModified_ = false;
};

} // namespace posewright
