#include "programmer/dialogs/FirmwareUpdateDialog.h"

#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/PercentBar.h"
#include "taskloom_base/Prompter.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace programmer {

FirmwareUpdateDialog::FirmwareUpdateDialog(const DialogContext& context, QWidget* parent)
    : ControllerDialogBase(context, parent)
{
    setWindowTitle(QStringLiteral("Update KZ-7"));
    auto* layout = new QVBoxLayout(this);
    version_ = new QLabel(QString::fromLatin1(comm::ControllerLink::kUnknownVersion), this);
    version_->setAlignment(Qt::AlignCenter);
    version_->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(version_);
    buildFileRow(layout, QStringLiteral("No file"));
    download_ = new QPushButton(dialogText(comm::kMsgDownload), this);
    download_->setAutoDefault(false);
    layout->addWidget(download_);
    auto* checkRow = new QHBoxLayout;
    check_ = new QCheckBox(QStringLiteral("Check by reading back"), this);
    check_->setChecked(context_.settings.checkFirmware);
    checkRow->addWidget(check_, 1);
    skip_ = new QPushButton(QStringLiteral("Skip check"), this);
    skip_->setAutoDefault(false);
    checkRow->addWidget(skip_);
    layout->addLayout(checkRow);
    bar_ = new PercentBar(this);
    layout->addWidget(bar_);
    buildPortRow(layout);
    buildCloseRow(layout);
    connect(download_, &QPushButton::clicked, this, &FirmwareUpdateDialog::startUpdate);
    connect(skip_, &QPushButton::clicked, this, &FirmwareUpdateDialog::skipCheck);
    connect(check_, &QCheckBox::toggled, this, [this](bool on) { context_.settings.checkFirmware = on; });
    // The read-back begins with its question: from then on it may be skipped.
    worker_.onAcknowledge = [this](int message) {
        if (message == comm::kMsgPressStartToVerify) {
            checking_ = true;
            updateControls();
        }
        inform(message);
    };
    updateControls();
}

void FirmwareUpdateDialog::afterConnect()
{
    // One Console visit, on the worker: the banner wait would freeze the window.
    link_.firmwareVersionText();
}

void FirmwareUpdateDialog::connectionChanged()
{
    showVersion();
}

void FirmwareUpdateDialog::showVersion()
{
    version_->setText(link_.isConnected() ? QString::fromLatin1(link_.firmwareVersion())
                                          : QString::fromLatin1(comm::ControllerLink::kUnknownVersion));
}

void FirmwareUpdateDialog::updateControls()
{
    ControllerDialogBase::updateControls();
    download_->setEnabled(!busy() && link_.isConnected());
    check_->setEnabled(!busy());
    skip_->setEnabled(checking_);
    // Nothing runs on the port during the wait for START but that wait: Close may end it.
    if (checking_)
        closeButton()->setEnabled(true);
}

void FirmwareUpdateDialog::skipCheck()
{
    if (checking_)
        jobs_.skipReadBack();
}

bool FirmwareUpdateDialog::stopForClose()
{
    if (!checking_)
        return false;
    jobs_.skipReadBack();
    return true;
}

void FirmwareUpdateDialog::startUpdate()
{
    if (busy() || !link_.isConnected())
        return;
    const QString path = context_.prompter.openFile(kHexFilter, context_.settings.firmwarePath);
    if (path.isEmpty())
        return;
    fileNameLabel()->setText(QFileInfo(path).fileName());
    context_.settings.firmwarePath = path;
    bar_->setPercent(0);
    runJob([this, file = path.toStdString(),
            verify = check_->isChecked()] { return jobs_.updateFirmware(file, verify); },
           [this](const comm::MaintenanceResult& r) {
               checking_ = false;
               // The firmware went out whole; a read-back called off stopped its own bar early.
               if (r.ok)
                   bar_->setPercent(100);
               // The version the controller reports now (re-read after new firmware).
               showVersion();
               showResult(r);
           });
}

} // namespace programmer
