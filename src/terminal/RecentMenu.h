#pragma once
// The "Recent &files" submenu: the recent-file list newest first, each entry running its file
// again, or a disabled "Empty path" when the list is empty.

#include <QMenu>
#include <QStringList>

namespace terminal {

class TerminalSession;

class RecentMenu : public QMenu {
    Q_OBJECT
  public:
    RecentMenu(TerminalSession& session, QWidget* parent = nullptr);
    // Shows the list as it is now (rebuilt only when it changed) and whether a transfer may start.
    void refresh(bool enabled);

  private:
    TerminalSession& session_;
    QStringList labels_; // what the menu shows now
};

} // namespace terminal
