#pragma once
// "Download Program": checks and generates the active behaviour program, sends it to the
// controller's program memory, and plays and stops it while its output scrolls in the console.

#include "programmer/dialogs/ControllerDialogBase.h"

namespace behaviour {
class BehaviorProgram;
}

namespace programmer {

class DownloadDialog : public ControllerDialogBase {
    Q_OBJECT
  public:
    enum class State { Disconnected, Connected, Downloading, Playing };

    // program is the active program window's (nullptr when there is none: downloading is then
    // not allowed and the file name reads "No selected program").
    DownloadDialog(const DialogContext& context, const QString& title, behaviour::BehaviorProgram* program,
                   QWidget* parent = nullptr);

    State state() const;
    QPushButton* downloadButton() const { return download_; }
    QPushButton* playButton() const { return play_; }
    ConsoleView* console() const { return console_; }

  protected:
    void updateControls() override;
    void connectionChanged() override;
    bool stopForClose() override;

  private:
    void startDownload();
    void togglePlay();

    behaviour::BehaviorProgram* program_;
    QPushButton* download_ = nullptr;
    QPushButton* play_ = nullptr;
    bool downloading_ = false;
    bool playing_ = false;
    bool started_ = false; // the program runs (Stop is offered only then)
};

} // namespace programmer
