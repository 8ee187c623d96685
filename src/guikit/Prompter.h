#pragma once
// Every message box and file dialog a program shows goes through one of these, so that its tests
// can record the texts and answer from a script. Each program has a real one (guikit::QtPrompter
// with the program's own captions and box looks) and its tests a scripted one.

#include <QString>

namespace guikit {

// The answer to "save the changes first?".
enum class SaveAnswer { Save, Discard, Cancel };

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A message with an OK button.
    virtual void inform(const QString& text) = 0;
    // OK / Cancel; true for OK.
    virtual bool confirm(const QString& text) = 0;
    // Yes / No; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
    // Save / Discard / Cancel before unsaved changes would be lost.
    virtual SaveAnswer askSave(const QString& text) = 0;
    // An open dialog for an existing file ("start" is a folder or a preset file name); empty when
    // dismissed. `filter` lists "Description(*.ext)" entries, either as the file dialog spells them
    // ("A(*.a);;B(*.b)") or in the bar form of the suite's resources ("A(*.a)|*.a|B(*.b)|*.b|").
    virtual QString openFile(const QString& filter, const QString& start) = 0;
    // A save dialog that asks before overwriting; defaultSuffix (may be empty) is added to a name
    // typed without one. Empty when dismissed.
    virtual QString saveFile(const QString& filter, const QString& start, const QString& defaultSuffix) = 0;
};

} // namespace guikit
