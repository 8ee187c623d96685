#include "programmer/dialogs/DownloadDialog.h"

#include "behaviour/BehaviorProgram.h"
#include "behaviour/RuleChecker.h"
#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/PercentBar.h"
#include "taskloom_base/Prompter.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace programmer {

DownloadDialog::DownloadDialog(const DialogContext& context, const QString& title,
                               behaviour::BehaviorProgram* program, QWidget* parent)
    : ControllerDialogBase(context, parent), program_(program)
{
    setWindowTitle(QStringLiteral("Download Program"));
    auto* layout = new QVBoxLayout(this);
    download_ = new QPushButton(dialogText(comm::kMsgDownload), this);
    download_->setAutoDefault(false);
    layout->addWidget(download_);
    buildFileRow(layout, program ? title : dialogText(comm::kMsgNoSelectedProgram));
    bar_ = new PercentBar(this);
    layout->addWidget(bar_);
    play_ = new QPushButton(dialogText(comm::kMsgPlay), this);
    play_->setAutoDefault(false);
    layout->addWidget(play_);
    console_ = new ConsoleView(this);
    console_->setMinimumSize(480, 220);
    layout->addWidget(console_, 1);
    buildPortRow(layout);
    buildCloseRow(layout);
    connect(download_, &QPushButton::clicked, this, &DownloadDialog::startDownload);
    connect(play_, &QPushButton::clicked, this, &DownloadDialog::togglePlay);
    worker_.onNotice = [this](int message) {
        if (message == comm::kMsgPlay && playing_) {
            started_ = true;
            updateControls();
        }
    };
    updateControls();
}

void DownloadDialog::connectionChanged()
{
    // A new connection starts with an empty console; the bar shows nothing of an old transfer.
    bar_->setPercent(0);
    if (link_.isConnected())
        console_->clear();
}

DownloadDialog::State DownloadDialog::state() const
{
    if (downloading_)
        return State::Downloading;
    if (playing_)
        return State::Playing;
    return link_.isConnected() ? State::Connected : State::Disconnected;
}

void DownloadDialog::updateControls()
{
    ControllerDialogBase::updateControls();
    const bool connected = link_.isConnected();
    const bool idle = !busy();
    download_->setEnabled(idle && connected && program_ != nullptr);
    play_->setText(dialogText(playing_ ? comm::kMsgStop : comm::kMsgPlay));
    // While playing, Stop is the one thing to press (Close also stops the program); not before
    // the program runs, as a stop then would meet a controller still on its way there.
    play_->setEnabled(connected && (idle || (playing_ && started_)));
    if (playing_) {
        connectButton()->setEnabled(false);
        closeButton()->setEnabled(true);
    }
}

void DownloadDialog::startDownload()
{
    if (busy() || !program_ || !link_.isConnected())
        return;
    // The check and the generation come first: a program with errors is never sent.
    behaviour::BuildResult built = behaviour::buildProgram(*program_);
    if (!built.ok) {
        context_.prompter.message(QString::fromStdString(built.message));
        return;
    }
    downloading_ = true;
    bar_->setPercent(0);
    runJob([this, image = std::move(built.bytes)] { return jobs_.downloadProgram(image); },
           [this](const comm::MaintenanceResult& r) {
               downloading_ = false;
               if (!r.ok)
                   showResult(r);
           });
}

void DownloadDialog::togglePlay()
{
    if (playing_) {
        worker_.requestStop();
        play_->setEnabled(false);
        return;
    }
    if (busy() || !link_.isConnected())
        return;
    playing_ = true;
    started_ = false;
    console_->clear();
    runJob([this] { return jobs_.playProgram(worker_.stopFlag()); },
           [this](const comm::MaintenanceResult& r) {
               playing_ = false;
               started_ = false;
               if (!r.ok)
                   showResult(r);
           });
}

bool DownloadDialog::stopForClose()
{
    if (!playing_)
        return false;
    worker_.requestStop();
    return true;
}

} // namespace programmer
