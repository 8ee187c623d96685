#pragma once
// "Step of KZ-7 recovery": a six-page wizard for a controller whose firmware no longer runs.
// The port is opened (without talking to the controller) on page 2, the boot loader is caught
// at power-on on page 3, the firmware file chosen on page 4 and installed on page 5.

#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "programmer/dialogs/DialogContext.h"
#include "programmer/dialogs/TransferWorker.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;
class QStackedWidget;
class QCloseEvent;

namespace programmer {

class CKZ7RecoverPage;
class CKZ7RecoverPage2;
class CKZ7RecoverPage4;
class CKZ7RecoverPage5;

class CKZ7RecoverSheet : public QDialog {
    Q_OBJECT
  public:
    explicit CKZ7RecoverSheet(const DialogContext& context, QWidget* parent = nullptr);
    ~CKZ7RecoverSheet() override;

    int currentPage() const { return page_; } // 1..6
    CKZ7RecoverPage* page(int number) const;
    QString pageCaption() const;
    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* finishButton() const { return finish_; }
    QPushButton* cancelButton() const { return cancel_; }
    CKZ7RecoverPage2* portPage() const;
    CKZ7RecoverPage4* filePage() const;
    CKZ7RecoverPage5* installPage() const;
    comm::ControllerLink& link() { return link_; }
    bool busy() const { return worker_.running(); }

    // Cancel, Escape and the window's close button: the 10029 question (refused without one
    // while the firmware is being installed, but not while its read-back waits for START).
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void goToPage(int number);
    void setButtons(bool back, bool next, bool finish);
    void goBack();
    void goNext();
    void startBootLoaderWait();
    void findFirmware();
    void startInstall();
    void pollProgress();
    void finishClose();

    DialogContext context_;
    comm::ControllerLink link_;
    TransferWorker worker_;
    comm::Maintenance jobs_;
    comm::PreparedImage image_;

    QLabel* caption_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer progressTimer_;
    int page_ = 0;
    int pageAfterWait_ = 0; // where Back goes once the cancelled wait has ended
    bool closing_ = false;
    bool checking_ = false; // page 5: the read-back has been asked for and not ended
};

} // namespace programmer
