#include "programmer/dialogs/ServoUpdateDialog.h"

#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/PercentBar.h"
#include "taskloom_base/Prompter.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace programmer {

ServoUpdateDialog::ServoUpdateDialog(const DialogContext& context, QWidget* parent)
    : ControllerDialogBase(context, parent)
{
    setWindowTitle(QStringLiteral("Update VQ program"));
    auto* layout = new QVBoxLayout(this);
    download_ = new QPushButton(dialogText(comm::kMsgDownload), this);
    download_->setAutoDefault(false);
    layout->addWidget(download_);
    buildFileRow(layout, QStringLiteral("No file"));
    bar_ = new PercentBar(this);
    layout->addWidget(bar_);
    console_ = new ConsoleView(this);
    console_->setMinimumSize(480, 200);
    layout->addWidget(console_, 1);
    buildPortRow(layout);
    buildCloseRow(layout);
    connect(download_, &QPushButton::clicked, this, &ServoUpdateDialog::startUpdate);
    updateControls();
}

void ServoUpdateDialog::updateControls()
{
    ControllerDialogBase::updateControls();
    download_->setEnabled(!busy() && link_.isConnected());
}

void ServoUpdateDialog::connectionChanged()
{
    if (!link_.isConnected())
        fileNameLabel()->setText(QStringLiteral("No file"));
}

void ServoUpdateDialog::startUpdate()
{
    if (busy() || !link_.isConnected())
        return;
    const QString path = context_.prompter.openFile(kRomFilter, path_);
    if (path.isEmpty())
        return;
    // The file is checked here, so a refused one leaves the field (and the next file dialog's
    // start) as they were.
    comm::PreparedImage image;
    if (comm::MaintenanceResult refused = comm::Maintenance::prepareServoImage(path.toStdString(), image);
        !refused.ok) {
        showResult(refused);
        return;
    }
    path_ = path;
    fileNameLabel()->setText(QFileInfo(path).fileName());
    console_->clear();
    bar_->setPercent(0);
    runJob([this, image = std::move(image)] { return jobs_.updateServos(image); },
           [this](const comm::MaintenanceResult& r) { showResult(r); });
}

} // namespace programmer
