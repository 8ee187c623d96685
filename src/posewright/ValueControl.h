#pragma once
// A digits-only edit with a small spin on its right, on a black background that shows as a
// one-pixel frame. Used for Speed and Pause and as the cell editor of the joint list and grids.
// Reports Enter (200), step down (201), step up (202) and the focus leaving the control (203).

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace posewright {

class ValueControl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSpinWidth = 15;

    explicit ValueControl(int controlId, QWidget* parent = nullptr);

    int controlId() const { return id_; }
    void setText(const QString& text);
    QString text() const;
    QLineEdit* edit() const { return edit_; }
    QToolButton* upButton() const { return up_; }

  signals:
    void notify(int controlId, int code);

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int id_;
    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace posewright
