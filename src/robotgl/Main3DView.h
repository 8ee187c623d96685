#pragma once
// The large 3D view: the robot in the pose the editor drives now, and the place a drag of the
// current pose starts from.

#include "robotgl/RobotWindow.h"

#include <QList>

namespace robotgl {

class PosePanel;

class Main3DView : public RobotWindow {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kPeriod{40};

    explicit Main3DView(const QString& profilePath, QWidget* parent = nullptr);
    explicit Main3DView(const robotview::RobotModel& model, QWidget* parent = nullptr);

    // The panels a drag of the current pose reaches (drag state 1 on press, 0 on a release here).
    void setPosePanels(const QList<PosePanel*>& panels) { panels_ = panels; }
    void setMayDrag(bool flag);
    void setAllJointsKnown(bool flag);
    bool mayDrag() const { return mayDrag_; }
    bool allJointsKnown() const { return allJointsKnown_; }
    bool dragging() const { return dragging_; }
    bool mouseInside() const { return mouseInside_; }

  signals:
    // A press that would have started a drag, refused because some joint's value is unknown.
    void dragRefused();

  protected:
    bool outerFrameDark() const override { return dragging_; }
    void gesturePress(QMouseEvent* e) override;
    void gestureMove(const QPoint& pos, Qt::MouseButtons buttons) override;
    void gestureRelease(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) override;
    void gestureLeave() override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    QList<PosePanel*> panels_;
    bool mayDrag_ = false;
    bool allJointsKnown_ = false;
    bool dragging_ = false;
    bool mouseInside_ = false;
};

} // namespace robotgl
