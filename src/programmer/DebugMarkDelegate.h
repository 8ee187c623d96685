#pragma once
// Draws a debugging session's marks over a program grid: a red dot in the line-number area of a
// line with a breakpoint and a yellow wash over the line the program stands at. The grid's own
// delegate paints the cells first.

#include <QAbstractItemDelegate>
#include <QPointer>

namespace programmer {

class CEditorDoc;
class DebugController;

class DebugMarkDelegate : public QAbstractItemDelegate {
    Q_OBJECT
  public:
    // The dot's area: this many pixels at the left of the line-number column.
    static constexpr int kDotZone = 12;

    DebugMarkDelegate(QAbstractItemDelegate* base, const DebugController& controller, const CEditorDoc& doc,
                      QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    QPointer<QAbstractItemDelegate> base_;
    const DebugController& controller_;
    const CEditorDoc& doc_;
};

} // namespace programmer
