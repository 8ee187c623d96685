#pragma once
// "Update KZ-7": new firmware from an Intel hex file for a controller that still answers, with
// the firmware version shown before and after.

#include "programmer/dialogs/ControllerDialogBase.h"

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

  protected:
    void updateControls() override;
    void afterConnect() override;
    void connectionChanged() override;

  private:
    void startUpdate();
    void showVersion();

    QLabel* version_ = nullptr;
    QPushButton* download_ = nullptr;
};

} // namespace programmer
