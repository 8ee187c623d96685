#pragma once
// "Send strings": the nine named byte sequences of the Send menu (Ctrl+1..9), edited as a
// table of names and texts with the escapes --send takes (\r, \n, \t, \e, \xNN, \\).

#include "termcore/SessionSettings.h"

#include <QDialog>

#include <array>

class QTableWidget;

namespace terminal {

class SendStringsDialog : public QDialog {
    Q_OBJECT
  public:
    using Strings = std::array<termcore::SendString, termcore::SessionSettings::kSendStrings>;

    SendStringsDialog(const Strings& strings, QWidget* parent = nullptr);
    // What the table holds, each name and text cut to what the side file keeps.
    Strings strings() const;
    QTableWidget* table() const { return table_; }

  private:
    QTableWidget* table_ = nullptr;
};

} // namespace terminal
