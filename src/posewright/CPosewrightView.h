#pragma once
// The editor form: the main 3D view, the joint list, the grids, the value controls, the command
// line, the message line, the buttons and the seven pose panels. It owns the MotionLink and
// ticks it every 100 ms; what the form shows comes from the EditorCore, which the controller's
// repaint alone changes.

#include "motion/MotionLink.h"
#include "posewright_core/EditorCore.h"

#include <QTimer>
#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;

namespace robotgl {
class Main3DView;
class PosePanel;
} // namespace robotgl

namespace posewright {

class CommandLine;
class InfoGridWidgets;
class JointListWidget;
class PageGridWidget;
class PoseGridWidget;
class Prompter;
class ValueControl;

class CPosewrightView : public QWidget, private EditorSurface {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 100;
    // While a page plays, what has arrived is decoded this often, so a pose reaches the views
    // well within a tick.
    static constexpr int kFollowMs = 20;
    static constexpr int kFormWidth = 1000;
    static constexpr int kFormHeight = 660;

    CPosewrightView(const QString& profilePath, Prompter& prompter, QWidget* parent = nullptr);
    ~CPosewrightView() override;

    // Connects to "COM%d" with the saved port number (the start-up of the form).
    void start(int portNumber);
    void setTiming(const motion::MotionLink::Timing& timing) { link_.setTiming(timing); }

    EditorCore& core() { return core_; }
    motion::MotionLink& link() { return link_; }
    void menu(MenuCommand command);
    bool menuEnabled(MenuCommand command) const { return core_.menuEnabled(command); }
    // Shows the core's state in the controls.
    void sync();

    robotgl::Main3DView* mainView() const { return main_; }
    robotgl::PosePanel* panel(int k) const { return panels_.at(static_cast<size_t>(k)); }
    JointListWidget* jointList() const { return joints_; }
    PageGridWidget* pageGrid() const { return pageGrid_; }
    PoseGridWidget* poseGrid() const { return poseGrid_; }
    ValueControl* speed() const { return speed_; }
    ValueControl* pause() const { return pause_; }
    CommandLine* commandLine() const { return command_; }
    QLabel* messageLine() const { return message_; }
    QLineEdit* pageNumberEdit() const { return pageNumber_; }
    QPushButton* pagePlay() const { return play_; }
    QPushButton* pageSave() const { return save_; }
    QPushButton* addPose() const { return add_; }

  signals:
    void formSynced();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // EditorSurface
    bool askYesNo(const std::string& text) override;
    SaveChoice askSaveChanges(const std::string& text) override;
    std::optional<int> choosePort(int savedPort) override;
    void setMainTarget(int id, int value) override;
    void setPanelTarget(int pose, int id, int value) override;
    void resetDrag(int panel) override;
    void resetViews() override;
    void stateChanged() override { sync(); }

    void notify(int controlId, int code, const std::string& text = {}, int sourceId = 0);
    void onTimer();
    void layoutForm();

    Prompter& prompter_;
    motion::MotionLink link_;
    MotionLinkPort port_{link_};
    EditorCore core_{port_, *this};
    QTimer timer_;
    QTimer followTimer_;

    robotgl::Main3DView* main_ = nullptr;
    std::array<robotgl::PosePanel*, kPanelCount> panels_{};
    JointListWidget* joints_ = nullptr;
    PageGridWidget* pageGrid_ = nullptr;
    PoseGridWidget* poseGrid_ = nullptr;
    QGroupBox* playGroup_ = nullptr;
    QLabel* pageNumberLabel_ = nullptr;
    QLineEdit* pageNumber_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* add_ = nullptr;
    QLabel* commandLabel_ = nullptr;
    CommandLine* command_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* speedLabel_ = nullptr;
    QLabel* pauseLabel_ = nullptr;
    ValueControl* speed_ = nullptr;
    ValueControl* pause_ = nullptr;

    // What was last shown of texts the user may be editing, so a sync does not overwrite typing.
    int shownSpeed_ = -1, shownPause_ = -1;
    int shownPageNumber_ = -1;
    int shownEditScreen_ = -1;
};

} // namespace posewright
