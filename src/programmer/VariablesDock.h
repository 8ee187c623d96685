#pragma once
// The Variables dock of a debugging session: the program's variables by name with their values,
// the ones changed since the last stop in bold red, and below them the controller's timer,
// buttons and AUX LED.

#include "debugclient/DebugSession.h"

#include <QDockWidget>

class QTableWidget;

namespace programmer {

class VariablesDock : public QDockWidget {
    Q_OBJECT
  public:
    explicit VariablesDock(QWidget* parent = nullptr);
    void showSession(const debugclient::DebugSession& session);
    QTableWidget* table() const { return table_; }

  private:
    void setRow(int row, const QString& name, const QString& value, bool changed);

    QTableWidget* table_;
};

} // namespace programmer
