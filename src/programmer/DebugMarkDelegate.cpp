#include "programmer/DebugMarkDelegate.h"

#include "programmer/DebugController.h"

#include <QPainter>

namespace programmer {

DebugMarkDelegate::DebugMarkDelegate(QAbstractItemDelegate* base, const DebugController& controller,
                                     const CEditorDoc& doc, QObject* parent)
    : QAbstractItemDelegate(parent), base_(base), controller_(controller), doc_(doc)
{
}

void DebugMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    if (base_)
        base_->paint(painter, option, index);
    const int line = index.row() / 2;
    const QRect r = option.rect;
    painter->save();
    painter->setClipRect(r);
    if (line == controller_.currentLine(&doc_)) {
        painter->fillRect(r, QColor(255, 214, 0, 110));
        painter->setPen(QPen(QColor(230, 150, 0), 2));
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
    }
    if (index.column() == 0 && controller_.hasBreakpoint(&doc_, line)) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(QColor(120, 0, 0), 1));
        painter->setBrush(QColor(220, 20, 20));
        painter->drawEllipse(QPoint(r.left() + kDotZone / 2, r.center().y()), 5, 5);
    }
    painter->restore();
}

QSize DebugMarkDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return base_ ? base_->sizeHint(option, index) : QSize();
}

} // namespace programmer
