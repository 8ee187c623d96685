#include "programmer/dialogs/ConsoleView.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCursor>

namespace programmer {

namespace {

// Maps console characters to shown ones; crBefore says whether the character before the first
// was a CR (whose LF is then already a line end).
QString mapShown(const std::string& text, bool& crBefore)
{
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        if (c == '\n' && crBefore) {
            // the CR already ended the line
        } else if (c == '\r' || c == '\n') {
            shown.append(QChar('\n'));
        } else if (c != '\b') {
            shown.append(QChar::fromLatin1(c));
        }
        crBefore = c == '\r';
    }
    return shown;
}

} // namespace

ConsoleView::ConsoleView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setCursorWidth(0);
    viewport()->setCursor(Qt::ArrowCursor);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFocusPolicy(Qt::ClickFocus);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    clear();
}

QString ConsoleView::displayText(const std::string& consoleText)
{
    bool crBefore = false;
    return mapShown(consoleText, crBefore);
}

void ConsoleView::clear()
{
    filter_.clear();
    shownEndsInCR_ = false;
    setPlainText(displayText(filter_.text()));
}

void ConsoleView::append(const std::uint8_t* bytes, std::size_t count)
{
    if (count == 0)
        return;
    const std::size_t before = filter_.text().size();
    comm::ConsoleEdit edit = filter_.append(bytes, count);
    setUpdatesEnabled(false);
    if (!edit.trimmed && edit.replaceFrom == before && edit.replaceTo == before) {
        appendShown(edit.inserted);
    } else {
        // A trim or an erase changes text already shown: show the whole text again (rare: the
        // pane is full, or the controller erased with backspaces).
        setPlainText(displayText(filter_.text()));
        shownEndsInCR_ = !filter_.text().empty() && filter_.text().back() == '\r';
    }
    scrollToNewest();
    setUpdatesEnabled(true);
}

void ConsoleView::appendShown(const std::string& inserted)
{
    if (inserted.empty())
        return;
    QString shown = mapShown(inserted, shownEndsInCR_);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
}

void ConsoleView::scrollToNewest()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

// The pane only shows: keys, clicks and drags do nothing (a click only takes the focus).
void ConsoleView::keyPressEvent(QKeyEvent* event)
{
    event->accept();
}

void ConsoleView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    event->accept();
}

void ConsoleView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void ConsoleView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void ConsoleView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ConsoleView::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
}

void ConsoleView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}

} // namespace programmer
