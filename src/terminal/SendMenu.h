#pragma once
// The "Se&nd" menu: the send strings by name (Ctrl+1..9 reach them through the key table, so
// the menu only names the keys) and the editor of the list.

#include <QMenu>

namespace terminal {

class TerminalSession;

class SendMenu : public QMenu {
    Q_OBJECT
  public:
    SendMenu(TerminalSession& session, QWidget* parent = nullptr);
    void rebuild();
    // The strings can be sent (the port is open and free).
    void setSendingEnabled(bool enabled);

  private:
    void edit();

    TerminalSession& session_;
    QAction* editAction_ = nullptr;
    bool sendingEnabled_ = false;
};

} // namespace terminal
