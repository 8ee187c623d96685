#pragma once
// The shell's own windows: the "Select COM port" dialog, the splash window shown while the
// editor connects, and the message boxes and file dialog behind Prompter.

#include "guikit/QtPrompter.h"
#include "posewright/Prompter.h"

#include <QDialog>
#include <QPixmap>
#include <QWidget>

#include <vector>

class QComboBox;

namespace posewright {

struct PosewrightSettings;

// The start-up's profile check: when the profile named in the settings is not in the robot
// folder, says "Can not find robot file!" and offers the Open dialog. False when the user
// cancels (the program then ends); otherwise the chosen name is in the settings.
bool ensureRobotProfile(PosewrightSettings& settings, const QString& robotFolder, Prompter& prompter);

// The port numbers whose device opens now (each opened and closed again), ascending.
std::vector<int> portsThatOpen();

class ComPortDialog : public QDialog {
    Q_OBJECT
  public:
    ComPortDialog(const std::vector<int>& ports, int savedPort, QWidget* parent = nullptr);
    // The chosen port number, once accepted.
    int chosenPort() const { return chosen_; }
    QComboBox* list() const { return list_; }

  private:
    QComboBox* list_;
    int chosen_ = 0;
};

class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    SplashWindow();
    static QPixmap picture();

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QPixmap picture_;
};

// The editor's boxes: messages are warnings, Yes / No a question, and the Save / Discard / Cancel
// box a warning that defaults to Save.
class QtPrompter : public Prompter, public guikit::QtPrompter {
  public:
    QtPrompter();
    using guikit::QtPrompter::inform;
    void inform(const QString& caption, const QString& text) override;
    void tell(const QString& text) override;
    std::optional<int> choosePort(int savedPort) override;
    QString openRobotFile(const QString& folder, const QString& name) override;
};

} // namespace posewright
