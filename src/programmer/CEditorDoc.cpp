#include "programmer/CEditorDoc.h"

#include "taskloom_base/ProgrammerTexts.h"

#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/ProgramMessages.h"
#include "behaviour/RuleChecker.h"

#include <QFileInfo>

namespace programmer {

CEditorDoc::CEditorDoc(Confirm confirm, QObject* parent) : QObject(parent)
{
    program_.setConfirm([confirm = std::move(confirm)](const std::string& question) {
        return confirm(QString::fromStdString(question));
    });
    history_.reset(program_);
}

QString CEditorDoc::title() const
{
    return path_.isEmpty() ? text(Str::Untitled) : QFileInfo(path_).fileName();
}

void CEditorDoc::setModified(bool modified)
{
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

DocumentResult CEditorDoc::open(const QString& path)
{
    const behaviour::LoadResult r = behaviour::loadProgramFile(path.toStdString(), program_);
    if (!r.ok)
        return {false, QString::fromStdString(r.message)};
    history_.reset(program_);
    path_ = path;
    setModified(false);
    emit pathChanged(path_);
    emit linesChanged(0, program_.count());
    return {};
}

DocumentResult CEditorDoc::saveTo(const QString& path)
{
    const behaviour::SaveResult r = behaviour::saveProgramFile(path.toStdString(), program_);
    if (!r.ok)
        return {false, QString::fromStdString(r.message)};
    if (path_ != path) {
        path_ = path;
        emit pathChanged(path_);
    }
    setModified(false);
    return {};
}

void CEditorDoc::publish(const std::optional<LineSpan>& span)
{
    if (span) {
        emit linesChanged(span->first, span->newLines);
        emit edited();
    }
}

void CEditorDoc::commit(int first, int last)
{
    const auto span = history_.record(program_, first, last);
    publish(span);
    // A question answered Cancel, or an editor left without a change, leaves nothing to save.
    if (span)
        setModified(true);
}

void CEditorDoc::moveCurrent(int first, int last)
{
    publish(history_.record(program_, first, last));
}

void CEditorDoc::repaint(int first, int n)
{
    emit linesChanged(first, n);
}

void CEditorDoc::refreshAll()
{
    history_.rebase(program_);
    emit linesChanged(0, program_.count());
}

void CEditorDoc::undo()
{
    if (auto span = history_.undo(program_)) {
        setModified(true);
        publish(span);
    }
}

void CEditorDoc::redo()
{
    if (auto span = history_.redo(program_)) {
        setModified(true);
        publish(span);
    }
}

CheckOutcome CEditorDoc::checkRule()
{
    const behaviour::BuildResult r = behaviour::buildProgram(program_);
    return {QString::fromStdString(r.message), behaviour::buildProblems(r)};
}

} // namespace programmer
