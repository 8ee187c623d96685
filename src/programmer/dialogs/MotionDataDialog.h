#pragma once
// "Robot Motion": the controller's 64 KiB motion memory read into a ".mtn" file and written
// back from one. Opened with a preset file (a ".mtn" opened or dropped on the main window), it
// writes that file without asking and cannot read until the preset is used up.

#include "programmer/dialogs/ControllerDialogBase.h"

namespace programmer {

class MotionDataDialog : public ControllerDialogBase {
    Q_OBJECT
  public:
    static inline const QString kMtnFilter = QStringLiteral("Robot motion file(*.mtn)|*.mtn|");

    MotionDataDialog(const DialogContext& context, const QString& presetPath = {}, QWidget* parent = nullptr);

    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    const QString& presetPath() const { return preset_; }

    void reject() override;

  protected:
    void updateControls() override;

  private:
    void startRead();
    void startWrite();
    void choose(const QString& path);

    QPushButton* read_ = nullptr;
    QPushButton* write_ = nullptr;
    QString preset_;
};

} // namespace programmer
