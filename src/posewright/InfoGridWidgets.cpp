#include "posewright/InfoGridWidgets.h"

#include "motion/MotionScreen.h"
#include "posewright/ValueControl.h"
#include "posewright_core/EditorCore.h"

#include <QHeaderView>
#include <QLineEdit>

namespace posewright {

namespace {

void setupTable(QTableWidget* t)
{
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->setFocusPolicy(Qt::NoFocus);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c)
            t->setItem(r, c, new QTableWidgetItem);
}

void setCell(QTableWidget* t, int row, int column, const std::string& text)
{
    const QString q = QString::fromStdString(text);
    if (t->item(row, column)->text() != q)
        t->item(row, column)->setText(q);
}

// What a grid raises for its value editor's Enter, step down or step up (0: nothing).
template <typename Grid> int editorCode(Grid& grid, const ValueControl& editor, int code)
{
    switch (code) {
    case kValueEntered:
        return grid.valueEntered(editor.text().toStdString());
    case kValueStepDown:
        return grid.valueStepDown();
    case kValueStepUp:
        return grid.valueStepUp();
    default:
        return 0;
    }
}

void fixedCell(QTableWidget* t, int row, int column)
{
    t->item(row, column)->setBackground(QColor(212, 208, 200));
}

} // namespace

// ---------------------------------------------------------------------------------------------

PageGridWidget::PageGridWidget(PageGrid& grid, int controlId, QWidget* parent)
    : QTableWidget(PageGrid::kRows, 2, parent), grid_(grid), id_(controlId), name_(new QLineEdit(viewport())),
      value_(new ValueControl(101, viewport()))
{
    setupTable(this);
    for (int r = 0; r < PageGrid::kRows; ++r) {
        item(r, 0)->setText(motion::kPageInfoCaptions[static_cast<size_t>(r)]);
        fixedCell(this, r, 0);
    }
    name_->hide();
    value_->hide();
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        const int code = grid_.doubleClick(row, column, offsetPage_);
        placeEditor();
        if (code)
            raise(code);
    });
    connect(name_, &QLineEdit::returnPressed, this,
            [this] { raise(grid_.nameEntered(name_->text().toStdString())); });
    connect(name_, &QLineEdit::editingFinished, this, [this] {
        if (!name_->hasFocus() && grid_.editorOpen() && grid_.nameEditor()) {
            grid_.hideEditor();
            sync(offsetPage_);
        }
    });
    connect(value_, &ValueControl::notify, this, [this](int, int code) {
        if (code != kValueFocusLost) {
            raise(editorCode(grid_, *value_, code));
        } else if (grid_.editorOpen() && !grid_.nameEditor()) {
            // A focus leaving a value editor that is no longer the open one closes nothing.
            grid_.hideEditor();
            sync(offsetPage_);
        }
    });
    sync(false);
}

void PageGridWidget::raise(int code)
{
    sync(offsetPage_);
    if (code)
        emit notify(id_, code);
}

void PageGridWidget::placeEditor()
{
    sync(offsetPage_);
    if (!grid_.editorOpen())
        return;
    QWidget* editor = grid_.nameEditor() ? static_cast<QWidget*>(name_) : value_;
    editor->setFocus();
    if (grid_.nameEditor())
        name_->selectAll();
    else
        value_->edit()->selectAll();
}

void PageGridWidget::sync(bool offsetPage)
{
    offsetPage_ = offsetPage;
    for (int r = 0; r < PageGrid::kRows; ++r)
        setCell(this, r, 1, grid_.text(r));
    const bool open = grid_.editorOpen();
    QWidget* editor = grid_.nameEditor() ? static_cast<QWidget*>(name_) : value_;
    QWidget* other = editor == name_ ? static_cast<QWidget*>(value_) : name_;
    other->hide();
    if (!open) {
        editor->hide();
        return;
    }
    editor->setGeometry(visualItemRect(item(grid_.editorRow(), 1)));
    // What the user is typing stays until the controller writes the field again.
    if (grid_.editorWrites() != shownWrites_) {
        shownWrites_ = grid_.editorWrites();
        if (editor == name_)
            name_->setText(QString::fromStdString(grid_.editorText()));
        else
            value_->setText(QString::fromStdString(grid_.editorText()).trimmed());
    }
    editor->show();
}

void PageGridWidget::resizeEvent(QResizeEvent* e)
{
    QTableWidget::resizeEvent(e);
    const int w = viewport()->width(), h = viewport()->height();
    setColumnWidth(0, w * 53 / 100);
    setColumnWidth(1, w - w * 53 / 100);
    for (int r = 0; r < PageGrid::kRows; ++r)
        setRowHeight(r, r < PageGrid::kRows - 1 ? h / PageGrid::kRows
                                                : h - (h / PageGrid::kRows) * (PageGrid::kRows - 1));
    sync(offsetPage_);
}

// ---------------------------------------------------------------------------------------------

PoseGridWidget::PoseGridWidget(PoseGrid& grid, int controlId, QWidget* parent)
    : QTableWidget(2, PoseGrid::kColumns, parent), grid_(grid), id_(controlId),
      value_(new ValueControl(100, viewport()))
{
    setupTable(this);
    for (int c = 0; c < PoseGrid::kColumns; ++c) {
        item(0, c)->setText(PoseGrid::caption(c));
        fixedCell(this, 0, c);
    }
    value_->hide();
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        const int code = grid_.doubleClick(row, column);
        sync();
        if (grid_.editorOpen()) {
            value_->setFocus();
            value_->edit()->selectAll();
        }
        raise(code);
    });
    connect(value_, &ValueControl::notify, this, [this](int, int code) {
        if (code != kValueFocusLost) {
            raise(editorCode(grid_, *value_, code));
        } else {
            grid_.hideEditor();
            sync();
        }
    });
    sync();
}

void PoseGridWidget::raise(int code)
{
    sync();
    if (code)
        emit notify(id_, code);
}

void PoseGridWidget::sync()
{
    for (int c = 0; c < PoseGrid::kColumns; ++c)
        setCell(this, 1, c, grid_.text(c));
    if (!grid_.editorOpen()) {
        value_->hide();
        return;
    }
    value_->setGeometry(visualItemRect(item(1, grid_.editedColumn())));
    if (grid_.editorWrites() != shownWrites_) {
        shownWrites_ = grid_.editorWrites();
        value_->setText(QString::fromStdString(grid_.editorText()));
    }
    value_->show();
}

void PoseGridWidget::resizeEvent(QResizeEvent* e)
{
    QTableWidget::resizeEvent(e);
    const int w = viewport()->width(), h = viewport()->height();
    for (int c = 0; c < PoseGrid::kColumns; ++c)
        setColumnWidth(c, c < PoseGrid::kColumns - 1
                              ? w / PoseGrid::kColumns
                              : w - (w / PoseGrid::kColumns) * (PoseGrid::kColumns - 1));
    setRowHeight(0, h / 2);
    setRowHeight(1, h - h / 2);
    sync();
}

} // namespace posewright
