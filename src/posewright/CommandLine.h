#pragma once
// The free console command line: reports Enter (1000) and the focus leaving it (1001). Home,
// End and the arrow keys stay with the edit.

#include <QLineEdit>

namespace posewright {

class CommandLine : public QLineEdit {
    Q_OBJECT
  public:
    explicit CommandLine(int controlId, QWidget* parent = nullptr);

  signals:
    void notify(int controlId, int code);

  protected:
    bool event(QEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    int id_;
};

} // namespace posewright
