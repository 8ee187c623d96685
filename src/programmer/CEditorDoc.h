#pragma once
// One open behaviour program: the program, its file path, the modified flag and the undo
// history. Every view of the document edits the program and then calls commit(); the document
// records the step and tells every view which lines to repaint. The document shows nothing
// itself: its operations return what happened, and the frame tells the user.

#include "programmer/UndoHistory.h"

#include "behaviour/BehaviorProgram.h"
#include "behaviour/RuleChecker.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace programmer {

// How a file operation of a document ended: ok, or the message saying why not.
struct DocumentResult {
    bool ok = true;
    QString message;
};

// What Check Rule found: the message to show (also when the program passed) and every reason the
// program was refused (none when it passed).
struct CheckOutcome {
    QString message;
    std::vector<behaviour::CheckProblem> problems;
};

class CEditorDoc : public QObject {
    Q_OBJECT
  public:
    // An OK / Cancel question an edit of the program may need answered (true for OK).
    using Confirm = std::function<bool(const QString& question)>;
    explicit CEditorDoc(Confirm confirm, QObject* parent = nullptr);

    behaviour::BehaviorProgram& program() { return program_; }
    const behaviour::BehaviorProgram& program() const { return program_; }
    const QString& path() const { return path_; }
    // The file name without folder, or "Untitled".
    QString title() const;
    bool isModified() const { return modified_; }
    void setModified(bool modified);

    // Reads a program file; on failure the program stays as it was and the result says why.
    DocumentResult open(const QString& path);
    // Writes the program atomically; on success the document takes the path and is no longer
    // modified, on failure it keeps its path and flag and the result says why.
    DocumentResult saveTo(const QString& path);

    // After an edit of the program: records the undo step, marks the document modified and
    // repaints the changed lines in every view. An edit that can only have changed lines
    // first..last (not the count) names them, so a large program is not compared whole.
    void commit(int first = -1, int last = -1);
    // After the current line or cell moved (lines first..last): an undo step like any other, but
    // the program is not marked modified, since nothing the user wrote has changed.
    void moveCurrent(int first, int last);
    // Lines whose look changed without an edit (selection): repaint only.
    void repaint(int first, int n);
    // The program changed in a way that is not undone (error marks of a check): repaint all.
    void refreshAll();

    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    void undo();
    void redo();

    // Check Rule: check and generate when the check passes; the outcome for the frame to show.
    // The error marks are set but not yet painted: the frame calls refreshAll() once the user has
    // read the outcome, so the marks appear after its box closes.
    CheckOutcome checkRule();

  signals:
    // Lines first .. first + n - 1 changed; the line count may have changed too.
    void linesChanged(int first, int n);
    // The program's lines changed through an edit, an undo or a redo (not a repaint).
    void edited();
    void modifiedChanged(bool modified);
    void pathChanged(const QString& path);

  private:
    void publish(const std::optional<LineSpan>& span);

    behaviour::BehaviorProgram program_;
    UndoHistory history_;
    QString path_;
    bool modified_ = false;
};

} // namespace programmer
