#include "robotgl/PosePanel.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>

namespace robotgl {

PosePanel::PosePanel(int index, const QString& profilePath, QWidget* parent)
    : PosePanel(index, robotview::RobotModel::read(profilePath.toStdString()), parent)
{
}

PosePanel::PosePanel(int index, const robotview::RobotModel& model, QWidget* parent)
    : RobotWindow(kPeriod, model, parent), index_(index)
{
    menu_ = new QMenu(this);
    connect(menu_->addAction(QStringLiteral("Mirror pose")), &QAction::triggered, this,
            [this] { raise(PoseGesture::MirrorPose); });
    connect(menu_->addAction(QStringLiteral("Delete pose")), &QAction::triggered, this,
            [this] { raise(PoseGesture::DeletePose); });
}

void PosePanel::raise(PoseGesture code)
{
    emit notify(controlId(), code);
}

void PosePanel::setLive(bool live)
{
    setShownField(pressed_, false);
    setShownField(selected_, false);
    RobotWindow::setLive(live);
}

void PosePanel::setInteractive(bool flag)
{
    interactive_ = flag;
}

void PosePanel::setSelected(bool flag)
{
    setShownField(selected_, flag);
}

void PosePanel::setOffsetPage(bool flag)
{
    setShownField(offsetPage_, flag);
}

void PosePanel::setNeighbours(PosePanel* left, PosePanel* right)
{
    left_ = left;
    right_ = right;
}

void PosePanel::setLit(bool flag)
{
    setShownField(lit_, flag);
}

void PosePanel::resetDrag()
{
    setDropZone(DropZone::None);
    setIsSource(false);
    setDragState(DragState::None);
}

void PosePanel::setDragState(DragState state)
{
    setShownField(dragState_, state);
}

void PosePanel::setDropZone(DropZone zone)
{
    setShownField(dropZone_, zone);
}

void PosePanel::setIsSource(bool flag)
{
    setShownField(isSource_, flag);
}

int PosePanel::dropMark() const
{
    if (dragState_ == DragState::None || isSource_)
        return 0;
    return dropZone_ == DropZone::None ? 0 : static_cast<int>(dropZone_);
}

QString PosePanel::shownCaption() const
{
    // The offset page compares the original robot (panel 0) with the user's (panel 1).
    if (!offsetPage_)
        return caption();
    if (index_ == 0)
        return QStringLiteral("Original Robot");
    if (index_ == 1)
        return QStringLiteral("User Robot");
    return {};
}

void PosePanel::gesturePress(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !live() || !interactive_)
        return;
    if (offsetPage_) {
        // Panel 0 can be pressed (for its menu and focus) but no pose leaves the offset page.
        if (index_ != 0)
            return;
        setShownField(pressed_, true);
        setFocus(Qt::MouseFocusReason);
        return;
    }
    setShownField(pressed_, true);
    dragSourceId_ = controlId();
    setFocus(Qt::MouseFocusReason);
    setDragState(DragState::Panel);
    setIsSource(true);
}

void PosePanel::gestureMove(const QPoint& pos, Qt::MouseButtons)
{
    if (!live())
        return;
    mouseInside_ = true;
    // A panel drag reaches the panels the pointer moves on to one neighbour at a time.
    for (PosePanel* n : {left_, right_})
        if (n) {
            n->setDragState(dragState_);
            n->setDragSourceId(dragSourceId_);
        }
    robotview::DropAim aim;
    aim.x = pos.x();
    aim.width = width();
    aim.drag = dragState_;
    aim.hasLeft = left_ != nullptr;
    aim.hasRight = right_ != nullptr;
    aim.offsetPage = offsetPage_;
    aim.panelIndex = index_;
    setDropZone(robotview::dropZoneFor(aim, dropZone_));
}

void PosePanel::gestureLeave()
{
    if (!live())
        return;
    mouseInside_ = false;
    setDropZone(DropZone::None);
}

void PosePanel::gestureRelease(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (button == Qt::RightButton) {
        if (!live() || !interactive_ || offsetPage_ || modifiers.testFlag(Qt::ShiftModifier) || !pressed_)
            return;
        const QPoint global = mapToGlobal(pos);
        const int width = menu_->sizeHint().width();
        menu_->popup(robotview::menuOpensLeftward(pos.x(), this->width()) ? global - QPoint(width, 0)
                                                                          : global);
        return;
    }
    if (button != Qt::LeftButton || !live())
        return;
    if (dragState_ == DragState::CurrentPose) {
        switch (dropZone_) {
        case DropZone::Into:
            raise(PoseGesture::Dropped);
            break;
        case DropZone::After:
            raise(PoseGesture::DroppedAfter);
            break;
        case DropZone::Before:
            raise(PoseGesture::DroppedBefore);
            break;
        case DropZone::None:
            break;
        }
    } else if (dragState_ == DragState::Panel && !isSource_) {
        // A source that names no other panel (stale, or never set) moves nothing.
        const int source = robotview::panelIndexOfId(dragSourceId_);
        if (source >= 0 && source != index_)
            raise(PoseGesture::PoseMoved);
    }
    resetDrag();
}

void PosePanel::gestureDoubleClick(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !live() || !interactive_)
        return;
    if (offsetPage_ && index_ > 1)
        return;
    raise(PoseGesture::DoubleClicked);
}

void PosePanel::focusOutEvent(QFocusEvent* e)
{
    RobotWindow::focusOutEvent(e);
    setShownField(pressed_, false);
}

} // namespace robotgl
