#include "programmer/dialogs/CKZ7RecoverSheet.h"

#include "programmer/dialogs/CKZ7RecoverPages.h"
#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/FirmwareUpdateDialog.h"
#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/PortCombo.h"
#include "taskloom_base/Prompter.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

namespace programmer {

namespace {

const char* const kCaptions[] = {"Start KZ-7 recovery",  "Ready to recover KZ-7", "Running KZ-7 boot loader",
                                 "Select KZ-7 firmware", "Install KZ-7 firmware", "Finish KZ-7 recovery"};

} // namespace

CKZ7RecoverSheet::CKZ7RecoverSheet(const DialogContext& context, QWidget* parent)
    : QDialog(parent), context_(context), link_(context.linkTiming), worker_(this),
      jobs_(link_, worker_, context.jobTiming)
{
    setWindowTitle(dialogText(comm::kMsgRecoveryCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    caption_ = new QLabel(this);
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    layout->addWidget(caption_);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(new CKZ7RecoverPage1(this));
    stack_->addWidget(new CKZ7RecoverPage2(this));
    stack_->addWidget(new CKZ7RecoverPage3(this));
    stack_->addWidget(new CKZ7RecoverPage4(this));
    stack_->addWidget(new CKZ7RecoverPage5(this));
    stack_->addWidget(new CKZ7RecoverPage6(this));
    stack_->setMinimumSize(420, 200);
    layout->addWidget(stack_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    back_ = new QPushButton(QStringLiteral("< Back"), this);
    next_ = new QPushButton(QStringLiteral("Next >"), this);
    finish_ = new QPushButton(dialogText(comm::kMsgFinish), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {back_, next_, finish_, cancel_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(back_, &QPushButton::clicked, this, &CKZ7RecoverSheet::goBack);
    connect(next_, &QPushButton::clicked, this, &CKZ7RecoverSheet::goNext);
    connect(finish_, &QPushButton::clicked, this, [this] { finishClose(); });
    connect(cancel_, &QPushButton::clicked, this, &CKZ7RecoverSheet::reject);
    connect(filePage()->find, &QPushButton::clicked, this, &CKZ7RecoverSheet::findFirmware);
    filePage()->check->setChecked(context_.settings.checkFirmware);
    connect(filePage()->check, &QCheckBox::toggled, this,
            [this](bool on) { context_.settings.checkFirmware = on; });
    connect(installPage()->skip, &QPushButton::clicked, this, [this] {
        if (checking_)
            jobs_.skipReadBack();
    });

    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, &CKZ7RecoverSheet::pollProgress);
    worker_.onAcknowledge = [this](int message) {
        // The read-back begins with its question: from then on it may be skipped or cancelled.
        if (message == comm::kMsgPressStartToVerify) {
            checking_ = true;
            installPage()->skip->setEnabled(true);
        }
        context_.prompter.message(dialogText(message));
    };
    worker_.onNotice = [this](int message) {
        // The wait's own steps: "Power on KZ-7" once the link listens, then "caught".
        if (page_ == 3 && (message == comm::kMsgPowerOn || message == comm::kMsgBootLoaderCaught))
            page(3)->setMessage(dialogText(message));
    };
    goToPage(1);
}

CKZ7RecoverSheet::~CKZ7RecoverSheet()
{
    link_.cancelBootLoaderWait();
    worker_.shutdown();
    link_.closePort();
}

CKZ7RecoverPage* CKZ7RecoverSheet::page(int number) const
{
    return static_cast<CKZ7RecoverPage*>(stack_->widget(number - 1));
}

CKZ7RecoverPage2* CKZ7RecoverSheet::portPage() const
{
    return static_cast<CKZ7RecoverPage2*>(page(2));
}

CKZ7RecoverPage4* CKZ7RecoverSheet::filePage() const
{
    return static_cast<CKZ7RecoverPage4*>(page(4));
}

CKZ7RecoverPage5* CKZ7RecoverSheet::installPage() const
{
    return static_cast<CKZ7RecoverPage5*>(page(5));
}

QString CKZ7RecoverSheet::pageCaption() const
{
    return caption_->text();
}

void CKZ7RecoverSheet::setButtons(bool back, bool next, bool finish)
{
    back_->setEnabled(back);
    next_->setEnabled(next);
    next_->setVisible(!finish);
    finish_->setVisible(finish);
    finish_->setEnabled(finish);
}

void CKZ7RecoverSheet::goToPage(int number)
{
    page_ = number;
    stack_->setCurrentIndex(number - 1);
    caption_->setText(QString::fromLatin1(kCaptions[number - 1]));
    switch (number) {
    case 1:
        page(1)->setMessage(dialogText(comm::kMsgRecoveryStart));
        setButtons(false, true, false);
        break;
    case 2:
        page(2)->setMessage(dialogText(comm::kMsgRecoveryReady));
        link_.closePort();
        portPage()->combo->refill(context_.settings.comPort);
        setButtons(true, true, false);
        break;
    case 3:
        page(3)->setMessage(QString());
        setButtons(true, false, false);
        startBootLoaderWait();
        break;
    case 4:
        // A file found on an earlier visit may have changed since: it is chosen again.
        image_ = {};
        filePage()->fileName->setText(QStringLiteral("No file"));
        page(4)->setMessage(dialogText(comm::kMsgSelectFirmware));
        setButtons(false, false, false);
        break;
    case 5:
        page(5)->setMessage(dialogText(comm::kMsgInstalling));
        installPage()->bar->setPercent(0);
        installPage()->skip->setEnabled(false);
        setButtons(false, false, false);
        startInstall();
        break;
    case 6:
        page(6)->setMessage(dialogText(comm::kMsgRecovered));
        setButtons(false, false, true);
        break;
    }
}

void CKZ7RecoverSheet::goBack()
{
    if (page_ == 3 && busy()) {
        // The wait is called off first; the page changes once it has ended.
        pageAfterWait_ = 2;
        back_->setEnabled(false);
        link_.cancelBootLoaderWait();
        return;
    }
    if (page_ == 2 || page_ == 3)
        goToPage(page_ - 1);
}

void CKZ7RecoverSheet::goNext()
{
    if (busy() || !next_->isEnabled())
        return;
    switch (page_) {
    case 1:
        goToPage(2);
        break;
    case 2: {
        // The port only: the controller is still switched off.
        const QString name = portPage()->combo->selectedPort();
        if (name.isEmpty() || !link_.openPort(name.toStdString())) {
            context_.prompter.message(dialogText(comm::kMsgCannotOpenPort));
            portPage()->combo->refill(context_.settings.comPort);
            return;
        }
        goToPage(3);
        break;
    }
    case 3:
        goToPage(4);
        break;
    case 4:
        if (!image_.empty())
            goToPage(5);
        break;
    case 5:
        goToPage(6);
        break;
    default:
        break;
    }
}

void CKZ7RecoverSheet::startBootLoaderWait()
{
    pageAfterWait_ = 0;
    // Armed before the worker runs, so that a Back pressed at once is not lost.
    link_.armBootLoaderWait();
    worker_.start([this, seconds = context_.bootLoaderWaitSeconds] { return jobs_.catchBootLoader(seconds); },
                  [this](const comm::MaintenanceResult& r) {
                      if (closing_) {
                          finishClose();
                          return;
                      }
                      if (r.cancelled) {
                          if (pageAfterWait_)
                              goToPage(pageAfterWait_);
                          return;
                      }
                      if (r.ok) {
                          page(3)->setMessage(dialogText(comm::kMsgBootLoaderCaught));
                          setButtons(true, true, false);
                          return;
                      }
                      context_.prompter.message(dialogText(comm::kMsgBootLoaderMissed));
                      goToPage(2);
                  },
                  [this] { link_.cancelBootLoaderWait(); });
}

void CKZ7RecoverSheet::findFirmware()
{
    if (busy())
        return;
    // The recovery starts at the saved firmware path but does not change it.
    const QString path =
        context_.prompter.openFile(FirmwareUpdateDialog::kHexFilter, context_.settings.firmwarePath);
    if (path.isEmpty())
        return;
    comm::MaintenanceResult loaded = comm::Maintenance::prepareFirmware(path.toStdString(), image_);
    if (!loaded.ok) {
        // Why first, as the update dialog shows it.
        context_.prompter.message(QString::fromStdString(loaded.detail) + QStringLiteral("\n\n") +
                                  dialogText(comm::kMsgNotFirmwareFile));
        return;
    }
    filePage()->fileName->setText(QFileInfo(path).fileName());
    setButtons(false, true, false);
}

void CKZ7RecoverSheet::startInstall()
{
    link_.resetProgress();
    checking_ = false;
    worker_.start(
        [this, verify = filePage()->check->isChecked()] { return jobs_.installFirmware(image_, verify); },
        [this](const comm::MaintenanceResult& r) {
            pollProgress();
            progressTimer_.stop();
            checking_ = false;
            installPage()->skip->setEnabled(false);
            if (closing_) {
                finishClose();
                return;
            }
            if (r.ok) {
                // 12028, or 10035 when the new firmware was not read back (its bar
                // stopped early, but the firmware went out whole).
                installPage()->bar->setPercent(100);
                page(5)->setMessage(dialogText(r.message));
                setButtons(false, true, false);
                return;
            }
            context_.prompter.message(dialogText(r.message));
            goToPage(2);
        });
    progressTimer_.start();
}

void CKZ7RecoverSheet::pollProgress()
{
    // Only while the installation runs (the timer) and once after it ended.
    // The link's own figure: a retried transfer and the read-back each start again from 0.
    installPage()->bar->setPercent(link_.progress());
}

void CKZ7RecoverSheet::reject()
{
    if (closing_)
        return;
    // Nothing may interrupt the installation, not even a question; its read-back's wait for
    // START may be.
    if (page_ == 5 && busy() && !checking_)
        return;
    if (!context_.prompter.askYesNo(dialogText(comm::kMsgQuitRecovery)))
        return;
    if (busy()) {
        // Page 3: the wait is called off; page 5: the read-back is. The sheet closes once the
        // job has ended.
        closing_ = true;
        if (page_ == 5)
            jobs_.skipReadBack();
        else
            link_.cancelBootLoaderWait();
        return;
    }
    finishClose();
}

void CKZ7RecoverSheet::finishClose()
{
    closing_ = false;
    link_.closePort();
    image_ = {};
    if (page_ == 6)
        QDialog::accept();
    else
        QDialog::reject();
}

void CKZ7RecoverSheet::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}

} // namespace programmer
