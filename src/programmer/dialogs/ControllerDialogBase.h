#pragma once
// What the download, firmware update, servo update and motion data dialogs share: one
// ControllerLink connected when the dialog opens and returned to the menu when it closes, the
// port row with its connect button, the progress bar fed every 50 ms while a job runs on the
// dialog's worker, and the rule that nothing can start another port operation or close the
// dialog while the worker runs.

#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "programmer/dialogs/DialogContext.h"
#include "programmer/dialogs/TransferWorker.h"

#include <QDialog>
#include <QTimer>

class QPushButton;
class QLabel;
class QBoxLayout;

namespace programmer {

class ConsoleView;
class PercentBar;
class PortCombo;

class ControllerDialogBase : public QDialog {
    Q_OBJECT
  public:
    ~ControllerDialogBase() override;

    comm::ControllerLink& link() { return link_; }
    bool busy() const { return worker_.running(); }
    PortCombo* portCombo() const { return combo_; }
    QPushButton* connectButton() const { return connectButton_; }
    QPushButton* closeButton() const { return closeButton_; }
    PercentBar* percentBar() const { return bar_; }
    QLabel* fileNameLabel() const { return fileName_; }

    // Escape, the Close button and the window's close button: refused while a job runs
    // (a dialog that can stop its job early does so and closes when it has ended).
    void reject() override;

  protected:
    ControllerDialogBase(const DialogContext& context, QWidget* parent);

    // Lays out the port row, the Close button and the given middle part.
    void buildPortRow(QBoxLayout* layout);
    void buildCloseRow(QBoxLayout* layout);
    // The "File name :" row.
    void buildFileRow(QBoxLayout* layout, const QString& initialName);

    // Runs job on the worker with every port control disabled and the bar fed by the timer;
    // done is called on this thread afterwards.
    void runJob(TransferWorker::Job job, TransferWorker::Done done, std::function<void()> cancel = {});
    // Shows a job's message (after the system's reason for a file error) and, when the job gave
    // up the connection, the not-connected look.
    void showResult(const comm::MaintenanceResult& result);
    void inform(int message);

    // Enables the controls for the current state; derived dialogs add theirs.
    virtual void updateControls();
    // Runs on the worker right after a successful connect (the version is read here).
    virtual void afterConnect() {}
    // Called on this thread when the connection came or went.
    virtual void connectionChanged() {}
    // A job that can be stopped early for a close; true when it was asked to.
    virtual bool stopForClose() { return false; }
    // Called by each timer tick while a job runs (and once after it ended).
    virtual void tick() {}

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    DialogContext context_;
    comm::ControllerLink link_;
    TransferWorker worker_;
    comm::Maintenance jobs_;
    PercentBar* bar_ = nullptr;
    ConsoleView* console_ = nullptr; // when the dialog has one, fed from the timer

  private:
    void toggleConnection();
    void pollProgress();
    void finishClose();

    PortCombo* combo_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QLabel* fileName_ = nullptr;
    QTimer progressTimer_;
    bool opened_ = false;
    bool closing_ = false;
};

} // namespace programmer
