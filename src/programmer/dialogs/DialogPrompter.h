#pragma once
// Every message box and file dialog of the controller dialogs goes through here, so that tests
// can read what the user was told and answer for them.

#include <QString>

class QWidget;

namespace programmer {

class DialogPrompter {
  public:
    virtual ~DialogPrompter() = default;
    // A modal box with the application's caption and an OK button.
    virtual void inform(QWidget* parent, const QString& text) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    // An open dialog for an existing file (filter like "VQ program file(*.rom)"), starting at
    // start (a file or a folder); empty when cancelled.
    virtual QString openFile(QWidget* parent, const QString& filter, const QString& start) = 0;
    // A save dialog that asks before replacing a file; empty when cancelled.
    virtual QString saveFile(QWidget* parent, const QString& filter, const QString& start) = 0;
};

class QtDialogPrompter : public DialogPrompter {
  public:
    void inform(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    QString openFile(QWidget* parent, const QString& filter, const QString& start) override;
    QString saveFile(QWidget* parent, const QString& filter, const QString& start) override;
};

} // namespace programmer
