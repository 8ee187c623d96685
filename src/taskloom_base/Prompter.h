#pragma once
// Every message box and file dialog of Taskloom goes through here, so that tests can script the
// answers. Captions are the application title.

#include <QString>

namespace programmer {

enum class SaveAnswer { Save, Discard, Cancel };

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A modal message with an OK button.
    virtual void message(const QString& text) = 0;
    // OK / Cancel; true for OK.
    virtual bool confirm(const QString& text) = 0;
    // Yes / No; true for Yes (a prompter without such a box asks OK / Cancel).
    virtual bool askYesNo(const QString& text) { return confirm(text); }
    // Yes / No / Cancel before unsaved changes would be lost.
    virtual SaveAnswer askSave(const QString& text) = 0;
    // An open dialog for an existing file ("start" is a folder or a preset file name); empty when
    // dismissed. `filter` is in the "Description(*.ext)|*.ext|...|" form.
    virtual QString openFile(const QString& filter, const QString& start) = 0;
    // A save dialog that asks before overwriting; empty when dismissed.
    virtual QString saveFile(const QString& filter, const QString& start, const QString& defaultSuffix) = 0;
};

} // namespace programmer
