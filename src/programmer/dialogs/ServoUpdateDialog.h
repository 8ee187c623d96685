#pragma once
// "Update VQ program": a ".rom" servo image sent to the controller, which passes it on to the
// servos on its bus and reports in the console pane.

#include "programmer/dialogs/ControllerDialogBase.h"

namespace programmer {

class ServoUpdateDialog : public ControllerDialogBase {
    Q_OBJECT
  public:
    static inline const QString kRomFilter = QStringLiteral("VQ program file(*.rom)|*.rom|");

    explicit ServoUpdateDialog(const DialogContext& context, QWidget* parent = nullptr);

    QPushButton* downloadButton() const { return download_; }
    ConsoleView* console() const { return console_; }

  protected:
    void updateControls() override;
    void connectionChanged() override;

  private:
    void startUpdate();

    QPushButton* download_ = nullptr;
    QString path_;
};

} // namespace programmer
