#pragma once
// "Set Parameter": turns an operand into a register of a bus device, picked from the robot
// profile's devices and their register lists, or typed as "Custom ID" (numbers or names).

#include "behaviour/ProgramLine.h"
#include "guikit/Prompter.h"
#include "motion/DeviceTable.h"

#include <QDialog>

class QListWidget;
class QLineEdit;
class QPushButton;

namespace programmer {

class SetParameterDialog : public QDialog {
    Q_OBJECT
  public:
    // Edits cell `column` of `line`; the line is changed only when the dialog ends with OK.
    SetParameterDialog(behaviour::ProgramLine& line, int column, const motion::DeviceTable& devices,
                       guikit::Prompter& prompter, QWidget* parent = nullptr);

    QListWidget* idList() const { return idList_; }
    QListWidget* addressList() const { return addressList_; }
    QLineEdit* idBox() const { return idBox_; }
    QLineEdit* addressBox() const { return addressBox_; }
    QPushButton* okButton() const { return ok_; }

  public slots:
    void accept() override;

  private:
    struct IdItem {
        int code;  // device kind, or 200 for "Custom ID"
        int value; // bus ID (1000 for "Custom ID")
        QString name;
    };
    void idSelected(int row);
    void addressSelected(int row);
    void fillAddresses(int kind);
    void useCustom(bool custom);
    const IdItem* selectedDevice() const;

    behaviour::ProgramLine& line_;
    int column_;
    guikit::Prompter& prompter_;
    bool readCell_;
    std::vector<IdItem> ids_;
    std::vector<int> registers_; // catalogue entries of the address list
    int previousKind_ = -1;
    QListWidget* idList_;
    QListWidget* addressList_;
    QLineEdit* idBox_;
    QLineEdit* addressBox_;
    QPushButton* ok_;
};

} // namespace programmer
