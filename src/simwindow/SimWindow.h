#pragma once
// The KZ-7 Simulator window: it serves the simulated controller on its COMn (on a thread of
// its own), draws the robot following the simulated servos, and shows the controller's face,
// the sensor modules' sliders and the mode and line in the status bar. The menus reach the
// controller's memory, the robot profile, the line's pacing and the faults.

#include "sim/SimHost.h"
#include "simwindow/SimPrompter.h"
#include "simwindow_core/SimSnapshot.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>
#include <string>

class QAction;
class QLabel;
class QScrollArea;

namespace robotgl {
class Main3DView;
}

namespace simwindow {

class ControllerFace;
class SensorPanel;

class SimWindow : public QMainWindow {
    Q_OBJECT
  public:
    // How often the window looks at the controller's state: a servo command reaches the picture
    // within this, one animation step and one drawing tick.
    static constexpr int kWatchMs = 10;

    // options: what to serve (com, memory file, profile, sensors, pace); the window opens the
    // host itself. prompter: null for the real dialogs.
    SimWindow(sim::SimOptions options, std::unique_ptr<SimPrompter> prompter = nullptr);
    ~SimWindow() override;

    // False (with the reason) when the controller could not be served.
    bool serving() const { return host_.isOpen(); }
    const std::string& failure() const { return failure_; }

    sim::SimHost& host() { return host_; }
    robotgl::Main3DView* view() const { return view_; }
    ControllerFace* face() const { return face_; }
    SensorPanel* sensors() const { return sensors_; }
    const SimSnapshot& shown() const { return shown_; }
    QString modeText() const;
    QString lineText() const;
    QAction* action(const QString& name) const;

    // Menu commands (also what tests call).
    void saveImage();
    void loadImage();
    void eraseProgram();
    void eraseMotionPages();
    void blankFirmware();
    void changeProfile();
    void injectFault(const QString& command);
    void setFastLine(bool fast);

    // Looks at the controller now and shows what changed.
    void watch();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    bool startServing(const sim::SimOptions& options);
    void buildMenus();
    void buildRobotView();
    void control(const std::string& line);
    // After memory was replaced under it, the controller starts again when it was on.
    static void restartIfOn(sim::Controller& controller);

    sim::SimOptions options_;
    long baud_ = 0;
    std::unique_ptr<SimPrompter> prompter_;
    sim::SimHost host_;
    std::string failure_;
    robotgl::Main3DView* view_ = nullptr;
    ControllerFace* face_ = nullptr;
    SensorPanel* sensors_ = nullptr;
    QScrollArea* sensorArea_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QLabel* lineLabel_ = nullptr;
    SimSnapshot shown_;
    bool firstWatch_ = true;
    QTimer watchTimer_;
};

} // namespace simwindow
