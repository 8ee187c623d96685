#pragma once
// The one timer that paces every robot window of the process through a ViewScheduler, and the
// one OpenGL context they all draw with.

#include "robotview/ViewScheduler.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class QOffscreenSurface;
class QOpenGLContext;

namespace robotgl {

class RobotWindow;

class ViewDriver : public QObject {
    Q_OBJECT
  public:
    // The process's driver; created on first use, owned by the application.
    static ViewDriver& shared();

    int add(RobotWindow* window, std::chrono::milliseconds period);
    void remove(int view);
    void markChanged(int view) { scheduler_.markChanged(view); }
    bool takeChanged(int view) { return scheduler_.takeChanged(view); }
    // Tests stop the timer and tick the windows themselves.
    void setRunning(bool running);
    bool running() const { return timer_.isActive(); }
    // Makes the windows' shared OpenGL 3.3 context current on an off-screen surface, creating it
    // on first use; false when the platform gives none.
    bool makeContextCurrent();
    // Steps the windows that are due now and, on drawing ticks, redraws those that changed.
    void tickDue();

  private:
    explicit ViewDriver(QObject* parent);
    ~ViewDriver() override;
    robotview::ViewScheduler scheduler_;
    std::vector<RobotWindow*> windows_;
    QTimer timer_;
    bool runningWanted_ = true;
    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLContext> context_;
    bool contextTried_ = false;
};

} // namespace robotgl
