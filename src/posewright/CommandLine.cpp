#include "posewright/CommandLine.h"

#include "posewright_core/EditorCore.h"

#include <QKeyEvent>

namespace posewright {

CommandLine::CommandLine(int controlId, QWidget* parent) : QLineEdit(parent), id_(controlId)
{
    connect(this, &QLineEdit::returnPressed, this, [this] { emit notify(id_, kEnterPressed); });
}

bool CommandLine::event(QEvent* e)
{
    // The form's keyboard navigation never sees these keys.
    if (e->type() == QEvent::ShortcutOverride) {
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            e->accept();
            return true;
        default:
            break;
        }
    }
    return QLineEdit::event(e);
}

void CommandLine::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    emit notify(id_, 1001);
}

} // namespace posewright
