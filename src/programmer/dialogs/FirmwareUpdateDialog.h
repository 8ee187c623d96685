#pragma once
// "Update KZ-7": new firmware from an Intel hex file for a controller that still answers, with
// the firmware version shown before and after (read afresh on every connect). "Check by reading
// back" (remembered) reads the new firmware back; its wait for START can be skipped, or ended by
// Close, at any moment, and then the update ends "updated, not checked".

#include "programmer/dialogs/ControllerDialogBase.h"

class QCheckBox;

namespace programmer {

class FirmwareUpdateDialog : public ControllerDialogBase {
    Q_OBJECT
  public:
    static inline const QString kHexFilter = QStringLiteral("Tessaban program file(*.hex)|*.hex|");

    explicit FirmwareUpdateDialog(const DialogContext& context, QWidget* parent = nullptr);
    // The connect job calls afterConnect() on the worker: it must end while this is whole.
    ~FirmwareUpdateDialog() override { worker_.shutdown(); }

    QLabel* versionLabel() const { return version_; }
    QPushButton* downloadButton() const { return download_; }
    QCheckBox* checkBox() const { return check_; }
    QPushButton* skipButton() const { return skip_; }

  protected:
    void updateControls() override;
    void afterConnect() override;
    void connectionChanged() override;
    bool stopForClose() override;

  private:
    void startUpdate();
    void showVersion();
    void skipCheck();

    QLabel* version_ = nullptr;
    QPushButton* download_ = nullptr;
    QCheckBox* check_ = nullptr;
    QPushButton* skip_ = nullptr;
    bool checking_ = false; // the read-back has been asked for and not ended
};

} // namespace programmer
