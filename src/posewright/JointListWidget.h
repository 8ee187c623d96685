#pragma once
// The joint list: one row per profile joint with its live value, clicked to pick joints. Paints
// the JointList it is given and passes mouse and focus to it; the value editor and the On/Off
// buttons are its children.

#include "posewright_core/JointList.h"

#include <QWidget>

class QPushButton;
class QScrollBar;

namespace posewright {

class ValueControl;

class JointListWidget : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kHeader = "<ID>     < Name >             <Joint>";
    static constexpr const char* kNotLiveText = "Connect KZ-7!";
    static constexpr int kHeaderHeight = JointList::kFirstRowTop; // the header's band
    static constexpr int kRowHeight = JointList::kRowPitch;
    static constexpr int kScrollWidth = 10; // fits beside the On/Off buttons

    JointListWidget(JointList& list, int controlId, QWidget* parent = nullptr);
    ~JointListWidget() override;

    // Shows the list's state (after the editor changed it).
    void sync();
    ValueControl* valueEditor() const { return editor_; }
    QPushButton* onButton() const { return on_; }
    QPushButton* offButton() const { return off_; }
    // The centre of joint i's cell where it is shown now, for tests and tools.
    QPoint cellCentre(int index) const;
    // Shown when the joints do not fit: it scrolls the rows below the header by whole rows.
    QScrollBar* scrollBar() const { return scroll_; }

  signals:
    void notify(int controlId, int code);

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    void onEditor(int id, int code);
    void focusMoved(QWidget* old, QWidget* now);
    bool ownsFocusTarget(QWidget* w) const;
    // Pixels the rows are scrolled up by; the list's own cell rectangles are unscrolled.
    int scrolled() const;
    void placeScrollBar();

    JointList& list_;
    int id_;
    ValueControl* editor_;
    QPushButton* on_;
    QPushButton* off_;
    QScrollBar* scroll_;
    int shownWrites_ = -1; // the list's editorWrites() last shown
};

} // namespace posewright
