#include "programmer/CGridCtrl.h"

#include "programmer/CatalogueIcons.h"
#include "programmer/GridModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

namespace programmer {

namespace {

// Paints a grid cell from the model's roles: background, picture at the left, text as aligned,
// and a frame around the current cell (the grid's highlight) instead of a filled selection.
class GridDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    const CGridCtrl* grid() const { return static_cast<const CGridCtrl*>(parent()); }
    // On screen the grid's zoom; on paper (printing) the normal size and no highlight.
    bool onScreen(const QPainter* p) const { return p->device() == grid()->viewport(); }
    int scaled(const QPainter* p, int pixels) const { return onScreen(p) ? grid()->scaled(pixels) : pixels; }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QRect r = option.rect;
        p->save();
        p->setClipRect(r);
        p->fillRect(r, index.data(Qt::BackgroundRole).value<QColor>());
        // Separator columns are narrow: their symbols get the whole width.
        const bool separator = index.row() % 2 == 1 && index.column() % 2 == 0 && index.column() > 0;
        QRect textRect = separator ? r : r.adjusted(3, 0, -3, 0);
        const QVariant picture = index.data(Qt::DecorationRole);
        if (picture.canConvert<QPixmap>()) {
            const QPixmap pm = picture.value<QPixmap>();
            const int side = scaled(p, pm.height());
            const QRect at(r.left() + 3, r.top() + (r.height() - side) / 2, side, side);
            p->setRenderHint(QPainter::SmoothPixmapTransform);
            p->drawPixmap(at, pm);
            textRect.setLeft(at.right() + 3);
        }
        p->setPen(index.data(Qt::ForegroundRole).value<QColor>());
        QFont font = option.font;
        if (separator)
            font.setBold(true);
        const QString text = index.data(Qt::DisplayRole).toString();
        // A cut name next to an icon gets a slightly smaller font rather than running under it.
        if (QFontMetrics(font).horizontalAdvance(text) > textRect.width() && font.pixelSize() > 10)
            font.setPixelSize(font.pixelSize() - scaled(p, 2));
        p->setFont(font);
        const auto align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
        p->drawText(textRect, static_cast<int>(align), text);
        if (onScreen(p) && (option.state & QStyle::State_HasFocus || index == grid()->currentIndex())) {
            p->setPen(QPen(QColor(20, 40, 160), 2));
            p->drawRect(r.adjusted(1, 1, -1, -1));
        }
        p->restore();
    }
};

} // namespace

CGridCtrl::CGridCtrl(QWidget* parent) : QTableView(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(CellRowHeight);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(IconSize, IconSize));
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setGridStyle(Qt::SolidLine);
    setMouseTracking(true);
    setItemDelegate(new GridDelegate(this));
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setStyleSheet("QTableView { gridline-color: rgb(64, 64, 64); background: rgb(128, 128, 128); }");
}

void CGridCtrl::setGridModel(GridModel* model)
{
    model_ = model;
    setModel(model);
    setZoom(zoom_);
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        formatLines(first / 2, (last - first + 1) / 2);
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        clearSpans();
        formatLines(0, model_->lineCount());
    });
}

void CGridCtrl::formatLines(int first, int n)
{
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    for (int line = first; line < first + n; ++line) {
        const int row = 2 * line;
        setRowHeight(row, scaled(TextRowHeight));
        setRowHeight(row + 1, scaled(CellRowHeight));
        setSpan(row, 0, 2, 1);
        setSpan(row, LabelFirstColumn, 1, CommentFirstColumn - LabelFirstColumn);
        setSpan(row, CommentFirstColumn, 1, GridColumns - CommentFirstColumn);
    }
    setUpdatesEnabled(updates);
}

GridTarget CGridCtrl::targetAtPoint(const QPoint& pos) const
{
    const QModelIndex i = indexAt(pos);
    if (!i.isValid() || !model_)
        return {};
    return targetAt(i.row(), i.column(), model_->lineCount());
}

GridTarget CGridCtrl::currentTarget() const
{
    const QModelIndex i = currentIndex();
    if (!i.isValid() || !model_)
        return {};
    return targetAt(i.row(), i.column(), model_->lineCount());
}

void CGridCtrl::setCurrentTarget(const GridTarget& t)
{
    if (t.kind == GridTarget::Kind::None || !model_)
        return;
    setCurrentIndex(model_->index(rowOf(t), columnOf(t)));
}

QRect CGridCtrl::targetRect(const GridTarget& t) const
{
    if (t.kind == GridTarget::Kind::None || !model_)
        return {};
    return visualRect(model_->index(rowOf(t), columnOf(t)));
}

void CGridCtrl::setZoom(int percent)
{
    zoom_ = percent;
    QFont f = font();
    f.setPixelSize(scaled(12));
    setFont(f);
    verticalHeader()->setDefaultSectionSize(scaled(CellRowHeight));
    if (!model_)
        return;
    for (int c = 0; c < GridColumns; ++c)
        setColumnWidth(c, scaled(programmer::columnWidth(c)));
    formatLines(0, model_->lineCount());
}

void CGridCtrl::mousePressEvent(QMouseEvent* e)
{
    QTableView::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        const GridTarget t = targetAtPoint(e->position().toPoint());
        if (t.kind != GridTarget::Kind::None)
            emit targetClicked(t, e->modifiers() & Qt::ShiftModifier);
    }
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* e)
{
    QTableView::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton) {
        const GridTarget t = targetAtPoint(e->position().toPoint());
        if (t.kind != GridTarget::Kind::None)
            emit targetRightReleased(t, e->globalPosition().toPoint());
    }
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const GridTarget t = targetAtPoint(e->position().toPoint());
    if (t.kind != GridTarget::Kind::None) {
        setCurrentTarget(t);
        emit targetActivated(t);
    }
}

void CGridCtrl::keyPressEvent(QKeyEvent* e)
{
    const GridTarget t = currentTarget();
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && t.kind != GridTarget::Kind::None) {
        emit targetActivated(t);
        return;
    }
    if ((e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) &&
        (e->modifiers() & (Qt::ShiftModifier | Qt::AltModifier))) {
        const int delta = e->key() == Qt::Key_Up ? -1 : 1;
        if (e->modifiers() & Qt::AltModifier)
            emit moveLinesKey(delta);
        else
            emit selectLinesKey(delta);
        return;
    }
    if (e->key() == Qt::Key_Delete && t.kind == GridTarget::Kind::LineNumber) {
        emit deletePressed();
        return;
    }
    QTableView::keyPressEvent(e);
}

void CGridCtrl::wheelEvent(QWheelEvent* e)
{
    // One line (two rows) per notch.
    const int notches = e->angleDelta().y() / 120;
    if (notches != 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 2 * notches);
    e->accept();
}

} // namespace programmer
