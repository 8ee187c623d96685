#include "programmer/dialogs/MotionDataDialog.h"

#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/PercentBar.h"
#include "taskloom_base/Prompter.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace programmer {

MotionDataDialog::MotionDataDialog(const DialogContext& context, const QString& presetPath, QWidget* parent)
    : ControllerDialogBase(context, parent), preset_(presetPath)
{
    setWindowTitle(QStringLiteral("Robot Motion"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    read_ = new QPushButton(QStringLiteral("Read from Robot"), this);
    write_ = new QPushButton(QStringLiteral("Write to Robot"), this);
    read_->setAutoDefault(false);
    write_->setAutoDefault(false);
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    layout->addLayout(buttons);
    buildFileRow(layout, preset_.isEmpty() ? QStringLiteral("No file") : QFileInfo(preset_).fileName());
    bar_ = new PercentBar(this);
    layout->addWidget(bar_);
    buildPortRow(layout);
    buildCloseRow(layout);
    connect(read_, &QPushButton::clicked, this, &MotionDataDialog::startRead);
    connect(write_, &QPushButton::clicked, this, &MotionDataDialog::startWrite);
    updateControls();
}

void MotionDataDialog::updateControls()
{
    ControllerDialogBase::updateControls();
    const bool ready = !busy() && link_.isConnected();
    read_->setEnabled(ready && preset_.isEmpty());
    write_->setEnabled(ready);
}

void MotionDataDialog::choose(const QString& path)
{
    fileNameLabel()->setText(QFileInfo(path).fileName());
    context_.settings.motionDocPath = path;
}

void MotionDataDialog::startRead()
{
    if (busy() || !link_.isConnected() || !preset_.isEmpty())
        return;
    const QString path =
        context_.prompter.saveFile(kMtnFilter, context_.settings.motionDocPath, QStringLiteral("mtn"));
    if (path.isEmpty())
        return;
    choose(path);
    bar_->setPercent(0);
    // The job asks for START (10023) through the worker and waits until the box is closed.
    runJob([this, file = path.toStdString()] { return jobs_.backupMotion(file); },
           [this](const comm::MaintenanceResult& r) {
               // After a read the controller is still in its boot loader while 10017 tells the
               // user to press MODE; nothing moves it before they have read that.
               showResult(r);
           });
}

void MotionDataDialog::startWrite()
{
    if (busy() || !link_.isConnected())
        return;
    QString path = preset_;
    if (path.isEmpty()) {
        path = context_.prompter.openFile(kMtnFilter, context_.settings.motionDocPath);
        if (path.isEmpty())
            return;
        choose(path);
    }
    // A preset is written once; after that the dialog asks like any other.
    preset_.clear();
    bar_->setPercent(0);
    runJob([this, file = path.toStdString()] { return jobs_.restoreMotion(file); },
           [this](const comm::MaintenanceResult& r) { showResult(r); });
}

void MotionDataDialog::reject()
{
    if (!busy())
        preset_.clear();
    ControllerDialogBase::reject();
}

} // namespace programmer
