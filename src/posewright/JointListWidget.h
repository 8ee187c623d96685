#pragma once
// The joint list: one row per profile joint with its live value, clicked to pick joints. Paints
// the JointList it is given and passes mouse and focus to it; the value editor and the On/Off
// buttons are its children.

#include "posewright/JointList.h"

#include <QWidget>

class QPushButton;

namespace posewright {

class ValueControl;

class JointListWidget : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kHeader = "<ID>     < Name >             <Joint>";
    static constexpr const char* kNotLiveText = "Connect KZ-7!";

    JointListWidget(JointList& list, int controlId, QWidget* parent = nullptr);
    ~JointListWidget() override;

    // Shows the list's state (after the editor changed it).
    void sync();
    ValueControl* valueEditor() const { return editor_; }
    QPushButton* onButton() const { return on_; }
    QPushButton* offButton() const { return off_; }
    // The centre of joint i's cell, for tests and tools.
    QPoint cellCentre(int index) const;

  signals:
    void notify(int controlId, int code);

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

  private:
    void onEditor(int id, int code);
    void focusMoved(QWidget* old, QWidget* now);
    bool ownsFocusTarget(QWidget* w) const;

    JointList& list_;
    int id_;
    ValueControl* editor_;
    QPushButton* on_;
    QPushButton* off_;
    int shownWrites_ = -1; // the list's editorWrites() last shown
};

} // namespace posewright
