#include "programmer/dialogs/FirmwareUpdateDialog.h"

#include "programmer/Prompter.h"
#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/PercentBar.h"

#include <QBoxLayout>
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
    bar_ = new PercentBar(this);
    layout->addWidget(bar_);
    buildPortRow(layout);
    buildCloseRow(layout);
    connect(download_, &QPushButton::clicked, this, &FirmwareUpdateDialog::startUpdate);
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
    runJob([this, file = path.toStdString(), verify = context_.verifyFirmware] {
        return jobs_.updateFirmware(file, verify);
    },
           [this](const comm::MaintenanceResult& r) {
               // The version the controller reports now (re-read after new firmware).
               showVersion();
               showResult(r);
           });
}

} // namespace programmer
