#pragma once
// The status bar's CAP, NUM and SCRL panes: each shows its name while its lock is on and is
// blank while it is off. The states are read from the X server's keyboard indicators when a
// lock key is pressed or released and when a window of the application becomes active (a
// lock may have changed while another program had the keyboard). Without an X display all
// three stay blank.

#include <QObject>

#include <array>

class QLabel;
class QStatusBar;

namespace programmer {

struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool operator==(const LockStates&) const = default;
};

class LockIndicators : public QObject {
    Q_OBJECT
  public:
    // Adds the three panes to the right end of bar.
    explicit LockIndicators(QStatusBar* bar);

    // What the keyboard's indicators show now.
    static LockStates read();
    LockStates shown() const { return shown_; }
    // Reads the states again and shows them.
    void refresh();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::array<QLabel*, 3> panes_{};
    LockStates shown_;
};

} // namespace programmer
