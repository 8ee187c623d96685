#include "programmer/dialogs/ControllerDialogBase.h"

#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/DialogText.h"
#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/PortCombo.h"
#include "taskloom_base/Prompter.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace programmer {

ControllerDialogBase::ControllerDialogBase(const DialogContext& context, QWidget* parent)
    : QDialog(parent), context_(context), link_(context.linkTiming), worker_(this),
      jobs_(link_, worker_, context.jobTiming)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, &ControllerDialogBase::pollProgress);
    worker_.onAcknowledge = [this](int message) { inform(message); };
}

ControllerDialogBase::~ControllerDialogBase()
{
    // The job uses the link and the jobs: it ends before they go.
    worker_.shutdown();
    if (link_.isConnected())
        link_.disconnect();
}

void ControllerDialogBase::buildFileRow(QBoxLayout* layout, const QString& initialName)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("File name :"), this));
    fileName_ = new QLabel(initialName, this);
    fileName_->setMinimumWidth(220);
    fileName_->setFrameShape(QFrame::StyledPanel);
    row->addWidget(fileName_, 1);
    layout->addLayout(row);
}

void ControllerDialogBase::buildPortRow(QBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Port name :"), this));
    combo_ = new PortCombo(this);
    row->addWidget(combo_, 1);
    connectButton_ = new QPushButton(dialogText(comm::kMsgConnect), this);
    connectButton_->setAutoDefault(false);
    row->addWidget(connectButton_);
    layout->addLayout(row);
    connect(connectButton_, &QPushButton::clicked, this, &ControllerDialogBase::toggleConnection);
}

void ControllerDialogBase::buildCloseRow(QBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    closeButton_ = new QPushButton(QStringLiteral("Close"), this);
    closeButton_->setAutoDefault(false);
    row->addWidget(closeButton_);
    layout->addLayout(row);
    connect(closeButton_, &QPushButton::clicked, this, &ControllerDialogBase::reject);
}

void ControllerDialogBase::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (opened_)
        return;
    // On opening: the ports, the saved one selected, and one press of the connect button.
    opened_ = true;
    combo_->refill(context_.settings.comPort);
    updateControls();
    QMetaObject::invokeMethod(this, &ControllerDialogBase::toggleConnection, Qt::QueuedConnection);
}

void ControllerDialogBase::toggleConnection()
{
    if (busy())
        return;
    if (link_.isConnected()) {
        runJob(
            [this] {
                link_.disconnect();
                comm::MaintenanceResult r;
                r.ok = true;
                return r;
            },
            [this](const comm::MaintenanceResult&) {
                combo_->refill(context_.settings.comPort);
                if (bar_)
                    bar_->setPercent(0);
                connectionChanged();
                updateControls();
            });
        return;
    }
    const QString name = combo_->selectedPort();
    runJob(
        [this, port = name.toStdString()] {
            comm::MaintenanceResult r;
            r.ok = !port.empty() && link_.connect(port);
            if (r.ok)
                afterConnect();
            else
                r.message = comm::kMsgCannotConnect;
            return r;
        },
        [this, name](const comm::MaintenanceResult& r) {
            if (r.ok) {
                if (int n = PortCombo::portNumber(name); n > 0)
                    context_.settings.comPort = n;
            } else {
                combo_->refill(context_.settings.comPort);
            }
            if (bar_)
                bar_->setPercent(0);
            connectionChanged();
            updateControls();
            if (!r.ok)
                inform(r.message);
        });
}

void ControllerDialogBase::runJob(TransferWorker::Job job, TransferWorker::Done done,
                                  std::function<void()> cancel)
{
    link_.resetProgress();
    if (!worker_.start(
            std::move(job),
            [this, done = std::move(done)](const comm::MaintenanceResult& r) {
                pollProgress(); // the last progress and console text
                progressTimer_.stop();
                updateControls();
                done(r);
                updateControls();
                if (closing_)
                    finishClose();
            },
            std::move(cancel)))
        return;
    updateControls();
    progressTimer_.start();
}

void ControllerDialogBase::pollProgress()
{
    // Only while a job runs (the timer) and once after it ended. The link's own figure: a
    // retried transfer and a read-back each start again from 0, as they do on the line.
    if (bar_)
        bar_->setPercent(link_.progress());
    if (console_) {
        std::string text = worker_.takeConsoleText();
        console_->append(text);
    }
    tick();
}

void ControllerDialogBase::showResult(const comm::MaintenanceResult& result)
{
    QString text;
    if (!result.detail.empty())
        text = QString::fromStdString(result.detail);
    if (result.message != comm::kMsgNone)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + dialogText(result.message);
    if (!text.isEmpty())
        context_.prompter.message(text);
    if (result.disconnected) {
        combo_->refill(context_.settings.comPort);
        connectionChanged();
    }
    updateControls();
}

void ControllerDialogBase::inform(int message)
{
    context_.prompter.message(dialogText(message));
}

void ControllerDialogBase::updateControls()
{
    const bool connected = link_.isConnected();
    const bool idle = !busy();
    connectButton_->setText(dialogText(connected ? comm::kMsgDisconnect : comm::kMsgConnect));
    connectButton_->setEnabled(idle);
    combo_->setEnabled(idle && !connected);
    closeButton_->setEnabled(idle);
}

void ControllerDialogBase::reject()
{
    if (closing_)
        return;
    if (busy()) {
        if (stopForClose())
            closing_ = true; // closes once the job has ended
        return;
    }
    closing_ = true;
    finishClose();
}

void ControllerDialogBase::finishClose()
{
    if (link_.isConnected()) {
        // Back to the menu (which also stops a running program), then the port is closed.
        runJob(
            [this] {
                link_.disconnect();
                comm::MaintenanceResult r;
                r.ok = true;
                return r;
            },
            [this](const comm::MaintenanceResult&) { connectionChanged(); });
        return;
    }
    closing_ = false;
    QDialog::reject();
}

void ControllerDialogBase::closeEvent(QCloseEvent* event)
{
    // The window's close button goes the same way as Escape and Close.
    event->ignore();
    reject();
}

} // namespace programmer
