#include "robotgl/Main3DView.h"

#include "robotgl/PosePanel.h"

#include <QMouseEvent>

namespace robotgl {

Main3DView::Main3DView(const QString& profilePath, QWidget* parent)
    : RobotWindow(kPeriod, profilePath, parent)
{
}

Main3DView::Main3DView(const robotview::RobotModel& model, QWidget* parent)
    : RobotWindow(kPeriod, model, parent)
{
}

void Main3DView::setMayDrag(bool flag)
{
    mayDrag_ = flag;
}

void Main3DView::setAllJointsKnown(bool flag)
{
    allJointsKnown_ = flag;
}

void Main3DView::gesturePress(QMouseEvent* e)
{
    // Only a complete current pose can be dropped on a panel.
    if (e->button() != Qt::LeftButton || !live() || !mayDrag_)
        return;
    if (!allJointsKnown_) {
        emit dragRefused();
        return;
    }
    setShownField(dragging_, true);
    setFocus(Qt::MouseFocusReason);
    for (PosePanel* p : panels_)
        p->setDragState(DragState::CurrentPose);
}

void Main3DView::gestureRelease(const QPoint&, Qt::MouseButton button, Qt::KeyboardModifiers)
{
    // A drag released over the robot itself is cancelled.
    if (button != Qt::LeftButton || !live())
        return;
    for (PosePanel* p : panels_)
        p->setDragState(DragState::None);
}

void Main3DView::gestureMove(const QPoint&, Qt::MouseButtons)
{
    if (live())
        mouseInside_ = true;
}

void Main3DView::gestureLeave()
{
    if (live())
        mouseInside_ = false;
}

void Main3DView::focusOutEvent(QFocusEvent* e)
{
    RobotWindow::focusOutEvent(e);
    setShownField(dragging_, false);
}

} // namespace robotgl
