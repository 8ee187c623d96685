#pragma once
// The one timer that paces every robot window of the process through a ViewScheduler.

#include "robotview/ViewScheduler.h"

#include <QObject>
#include <QTimer>

#include <vector>

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
    // Ticks the windows that are due now.
    void tickDue();

  private:
    explicit ViewDriver(QObject* parent);
    robotview::ViewScheduler scheduler_;
    std::vector<RobotWindow*> windows_;
    QTimer timer_;
    bool runningWanted_ = true;
};

} // namespace robotgl
