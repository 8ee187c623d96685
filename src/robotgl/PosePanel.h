#pragma once
// One of the seven small windows showing a pose of the open page, and a drop target and drag
// source for poses. Gestures are reported through notify(controlId, code).

#include "robotgl/RobotWindow.h"
#include "robotview/PoseGestures.h"

class QMenu;

namespace robotgl {

using robotview::DragState;
using robotview::DropZone;
using robotview::PoseGesture;

class PosePanel : public RobotWindow {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kPeriod{60};

    // index: 0..6; the control ID is 1001 + index.
    PosePanel(int index, const QString& profilePath, QWidget* parent = nullptr);
    PosePanel(int index, const robotview::RobotModel& model, QWidget* parent = nullptr);

    int index() const { return index_; }
    int controlId() const { return robotview::panelControlId(index_); }

    // Also clears pressed and selected.
    void setLive(bool live) override;
    void setInteractive(bool flag);
    void setSelected(bool flag);
    void setOffsetPage(bool flag);
    void setNeighbours(PosePanel* left, PosePanel* right);
    // The window's one light; unlit panels show the model in the dim ambient light only.
    void setLit(bool flag);
    // Drop zone none, not the source, drag state none.
    void resetDrag();
    // Written directly by the editor when a drag ends outside the panels.
    void setDragState(DragState state);
    void setDropZone(DropZone zone);
    void setIsSource(bool flag);
    void setDragSourceId(int id) { dragSourceId_ = id; }

    bool interactive() const { return interactive_; }
    bool selected() const { return selected_; }
    bool offsetPage() const { return offsetPage_; }
    bool lit() const { return lit_; }
    bool pressed() const { return pressed_; }
    DragState dragState() const { return dragState_; }
    int dragSourceId() const { return dragSourceId_; }
    bool isSource() const { return isSource_; }
    DropZone dropZone() const { return dropZone_; }
    bool mouseInside() const { return mouseInside_; }
    // The pop-up menu with "Mirror pose" and "Delete pose".
    QMenu* contextMenu() const { return menu_; }

  signals:
    void notify(int controlId, robotview::PoseGesture code);

  protected:
    bool outerFrameDark() const override { return pressed_; }
    bool innerSelected() const override { return selected_; }
    bool lightOn() const override { return lit_; }
    int dropMark() const override;
    QString shownCaption() const override;
    void gesturePress(QMouseEvent* e) override;
    void gestureMove(const QPoint& pos, Qt::MouseButtons buttons) override;
    void gestureRelease(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) override;
    void gestureDoubleClick(QMouseEvent* e) override;
    void gestureLeave() override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    void raise(PoseGesture code);

    int index_;
    PosePanel* left_ = nullptr;
    PosePanel* right_ = nullptr;
    QMenu* menu_ = nullptr;
    bool interactive_ = false;
    bool selected_ = false;
    bool offsetPage_ = false;
    bool lit_ = true;
    bool pressed_ = false;
    DragState dragState_ = DragState::None;
    int dragSourceId_ = 0;
    bool isSource_ = false;
    DropZone dropZone_ = DropZone::None;
    bool mouseInside_ = false;
};

} // namespace robotgl
