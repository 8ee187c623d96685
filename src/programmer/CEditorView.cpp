#include "programmer/CEditorView.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CGridCtrl.h"
#include "programmer/EditorPopups.h"
#include "programmer/GridModel.h"
#include "programmer/LineClipboard.h"
#include "programmer/ProgramText.h"
#include "programmer/SetParameterDialog.h"
#include "taskloom_base/ProgrammerTexts.h"
#include "taskloom_base/Prompter.h"

#include "behaviour/CellEditing.h"

#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace programmer {

using behaviour::ProgramCell;
using Kind = GridTarget::Kind;

namespace {

bool operandOfRole(const ProgramCell& c, int lo, int hi)
{
    return c.isOperand() && c.role() >= lo && c.role() <= hi;
}

} // namespace

CEditorView::CEditorView(CEditorDoc& doc, const motion::DeviceTable& devices, Prompter& prompter,
                         LineClipboard& clipboard, QWidget* parent)
    : QWidget(parent), doc_(doc), devices_(devices), prompter_(prompter), clipboard_(clipboard)
{
    model_ = new GridModel(doc.program(), this);
    grid_ = new CGridCtrl(this);
    grid_->setGridModel(model_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_);

    choiceList_ = new ChoiceList(this);
    textBox_ = new InPlaceTextBox(this);
    buttonPad_ = makeButtonPad(this);
    remoconPad_ = makeRemoconPad(this);
    kindMenu_ = new QMenu("Dummy", this);
    connect(kindMenu_->addAction("KZ-7"), &QAction::triggered, this, &CEditorView::kindController);
    connect(kindMenu_->addAction("Typing"), &QAction::triggered, this, &CEditorView::kindTyping);
    connect(kindMenu_->addAction("Joyntra"), &QAction::triggered, this, &CEditorView::kindDevice);

    connect(grid_, &CGridCtrl::targetClicked, this, &CEditorView::click);
    connect(grid_, &CGridCtrl::targetActivated, this, &CEditorView::activate);
    connect(grid_, &CGridCtrl::targetRightReleased, this, &CEditorView::rightRelease);
    connect(grid_, &CGridCtrl::deletePressed, this, &CEditorView::deleteLines);
    connect(grid_, &CGridCtrl::selectLinesKey, this, &CEditorView::selectByKey);
    connect(grid_, &CGridCtrl::moveLinesKey, this, &CEditorView::moveByKey);
    connect(choiceList_, &ChoiceList::chosen, this, &CEditorView::chosen);
    connect(textBox_, &InPlaceTextBox::accepted, this, &CEditorView::textAccepted);
    connect(buttonPad_, &BitPad::closed, this, [this](int bits) { padClosed(buttonPad_, bits); });
    connect(remoconPad_, &BitPad::closed, this, [this](int bits) { padClosed(remoconPad_, bits); });
    connect(&doc_, &CEditorDoc::linesChanged, model_, &GridModel::linesChanged);
    connect(&doc_, &CEditorDoc::linesChanged, this, &CEditorView::editStateChanged);
    // A popup belongs to the line under it: when the rows move (here or in another view of the
    // document) or the grid scrolls, it would float over another line, so it closes as Escape would.
    connect(model_, &QAbstractItemModel::rowsInserted, this, &CEditorView::hidePopups);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &CEditorView::hidePopups);
    connect(model_, &QAbstractItemModel::modelReset, this, &CEditorView::hidePopups);
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, this, &CEditorView::hidePopups);
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, &CEditorView::hidePopups);

    grid_->setCurrentTarget({Kind::Cell, 0, 0});
    grid_->setFocus();
}

void CEditorView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    hidePopups();
}

void CEditorView::hidePopups()
{
    kindMenu_->hide();
    choiceList_->hide();
    textBox_->hide();
    buttonPad_->hide();
    remoconPad_->hide();
}

void CEditorView::goTo(const GridTarget& t)
{
    if (t.kind == Kind::None || t.line < 0 || t.line >= doc_.program().count())
        return;
    hidePopups();
    grid_->setCurrentTarget(t);
    grid_->scrollTo(model_->index(rowOf(t), columnOf(t)), QAbstractItemView::PositionAtCenter);
    grid_->setFocus(Qt::OtherFocusReason);
}

void CEditorView::setCurrent(const GridTarget& t)
{
    auto& p = doc_.program();
    const int old = p.curLine() >= 0 ? p.curLine() : t.line;
    p.setCurrent(t.line, t.kind == Kind::Cell ? t.index : 0);
    doc_.moveCurrent(std::min(old, t.line), std::max(old, t.line));
}

void CEditorView::selectionRepaint(int first, int last)
{
    if (first >= 0)
        doc_.repaint(first, last - first + 1);
    const auto& p = doc_.program();
    if (p.selFirst() >= 0)
        doc_.repaint(p.selFirst(), p.selectionSize());
    emit editStateChanged();
}

void CEditorView::click(const GridTarget& t, bool shift)
{
    auto& p = doc_.program();
    const int oldFirst = p.selFirst(), oldLast = p.selLast();
    if (oldFirst >= 0)
        p.clearSelection();
    if (t.kind == Kind::LineNumber) {
        if (shift && oldFirst >= 0) {
            p.selectOne(oldFirst);
            p.extendSelection(t.line);
            anchorLine_ = oldFirst;
        } else {
            p.selectOne(t.line);
            anchorLine_ = t.line;
        }
        focusLine_ = t.line;
    }
    grid_->setCurrentTarget(t);
    selectionRepaint(oldFirst, oldLast);
}

QPoint CEditorView::placeInside(QRect want) const
{
    if (want.right() > width())
        want.moveRight(width() - 1);
    if (want.bottom() > height())
        want.moveBottom(height() - 1);
    return QPoint(std::max(0, want.left()), std::max(0, want.top()));
}

void CEditorView::activate(const GridTarget& t)
{
    if (t.kind == Kind::None || t.kind == Kind::LineNumber)
        return;
    hidePopups();
    editing_ = t;
    // The highlight moves first: scrolling it into view would close the popup opened below.
    grid_->setCurrentTarget(t);
    auto& p = doc_.program();
    if (t.kind == Kind::Label || t.kind == Kind::Comment) {
        setCurrent(t);
        const auto& line = p.line(t.line);
        const bool label = t.kind == Kind::Label;
        openTextBox(t, fromProgramText(label ? line.label : line.comment),
                    label ? LabelTextOffset : CommentTextOffset);
    } else if (t.kind == Kind::Cell && p.cell(t.line, t.index).inUse()) {
        setCurrent(t);
        const ProgramCell& c = p.cell(t.line, t.index);
        const auto items = behaviour::CommandCatalogue::choiceList(c);
        if (!items.empty()) {
            showChoiceList(t, items, c.isOperand());
        } else if (c.isOperand() &&
                   (c.role() == behaviour::Role::Label || c.kind() == behaviour::Kind::Number ||
                    c.kind() == behaviour::Kind::Name)) {
            openTextBox(t, fromProgramText(c.text), 0);
        } else if (operandOfRole(c, behaviour::Role::Button, behaviour::Role::Button)) {
            showPad(buttonPad_, t);
        } else if (operandOfRole(c, behaviour::Role::Remocon, behaviour::Role::Remocon)) {
            showPad(remoconPad_, t);
        } else if (operandOfRole(c, behaviour::Role::Destination, behaviour::Role::Right) &&
                   c.kind() == behaviour::NotChosen) {
            showKindMenu(t, grid_->viewport()->mapToGlobal(grid_->targetRect(t).bottomLeft()));
        } else if (c.isOperand() && c.kind() == behaviour::Kind::Device) {
            openParameterDialog(t);
        }
    } else {
        doc_.commit(t.line, t.line); // a separator or an unused cell: only the highlight moves
    }
    emit editStateChanged();
}

void CEditorView::rightRelease(const GridTarget& t, const QPoint& globalPos)
{
    if (t.kind == Kind::LineNumber) {
        emit editMenuRequested(globalPos);
        return;
    }
    if (t.kind != Kind::Cell)
        return;
    hidePopups();
    editing_ = t;
    setCurrent(t);
    grid_->setCurrentTarget(t);
    if (operandOfRole(doc_.program().cell(t.line, t.index), behaviour::Role::Destination,
                      behaviour::Role::Right))
        showKindMenu(t, globalPos);
}

void CEditorView::openTextBox(const GridTarget& t, const QString& text, int offset)
{
    QRect r = grid_->targetRect(t);
    r.moveTopLeft(grid_->viewport()->mapTo(this, r.topLeft()));
    r.setLeft(r.left() + grid_->scaled(offset));
    textBox_->setGeometry(r);
    textBox_->setText(text);
    textBox_->selectAll();
    textBox_->show();
    textBox_->raise();
    textBox_->setFocus(Qt::OtherFocusReason);
}

void CEditorView::showChoiceList(const GridTarget& t, const std::vector<behaviour::ChoiceItem>& items,
                                 bool icons)
{
    QRect cell = grid_->targetRect(t);
    cell.moveTopLeft(grid_->viewport()->mapTo(this, cell.topLeft()));
    choiceList_->fill(items, icons, doc_.program().cell(t.line, t.index).entry);
    // Cell width + 80, or wider where a name would otherwise be cut ("Motion play status").
    const int whole = choiceList_->sizeHintForColumn(0) + 2 * choiceList_->frameWidth() +
                      choiceList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    const QRect want(cell.topLeft(), QSize(std::max(cell.width() + 80, whole), 4 * cell.height()));
    choiceList_->setGeometry(QRect(placeInside(want), want.size()));
    choiceList_->show();
    choiceList_->raise();
    choiceList_->scrollToItem(choiceList_->currentItem());
    choiceList_->setFocus(Qt::OtherFocusReason);
}

void CEditorView::showPad(BitPad* pad, const GridTarget& t)
{
    QRect cell = grid_->targetRect(t);
    cell.moveTopLeft(grid_->viewport()->mapTo(this, cell.topLeft()));
    const QRect want(cell.topLeft(), pad->size());
    pad->showBits(doc_.program().cell(t.line, t.index).value, placeInside(want));
}

void CEditorView::showKindMenu(const GridTarget& t, const QPoint& globalPos)
{
    editing_ = t;
    kindMenu_->popup(globalPos);
}

void CEditorView::openParameterDialog(const GridTarget& t)
{
    auto& line = doc_.program().line(t.line);
    SetParameterDialog dialog(line, t.index, devices_, prompter_, this);
    if (dialog.exec() == QDialog::Accepted)
        doc_.commit(t.line, t.line);
}

void CEditorView::chosen(const behaviour::ChoiceItem& item)
{
    const GridTarget t = editing_;
    if (t.kind != Kind::Cell)
        return;
    behaviour::chooseItem(doc_.program().line(t.line), t.index, item);
    doc_.commit(t.line, t.line);
    grid_->setCurrentTarget(t);
    grid_->setFocus();
}

void CEditorView::textAccepted(const QString& typed)
{
    const GridTarget t = editing_;
    auto& line = doc_.program().line(t.line);
    QString refusal;
    const std::optional<std::string> bytes = toProgramText(typed, &refusal);
    if (!bytes) { // stays open with what was typed
        prompter_.message(refusal);
        textBox_->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (t.kind == Kind::Label) {
        line.label = *bytes;
    } else if (t.kind == Kind::Comment) {
        line.comment = *bytes;
    } else if (t.kind == Kind::Cell) {
        if (!behaviour::typeText(line, t.index, *bytes)) {
            prompter_.message(text(Str::NumberTooLarge));
            textBox_->setFocus(Qt::OtherFocusReason);
            return; // stays open with what was typed
        }
    }
    textBox_->hide();
    doc_.commit(t.line, t.line);
    grid_->setCurrentTarget(t);
    grid_->setFocus();
}

void CEditorView::padClosed(BitPad* pad, int bits)
{
    const GridTarget t = editing_;
    if (t.kind != Kind::Cell)
        return;
    ProgramCell& c = doc_.program().cell(t.line, t.index);
    if (pad == buttonPad_)
        behaviour::setButtonBits(c, bits);
    else
        behaviour::setRemoconBits(c, bits);
    doc_.commit(t.line, t.line);
}

void CEditorView::kindController()
{
    const GridTarget t = editing_;
    if (t.kind != Kind::Cell)
        return;
    const ProgramCell& c = doc_.program().cell(t.line, t.index);
    const auto dir =
        (c.flags & behaviour::CellFlag::Write) ? behaviour::Direction::Write : behaviour::Direction::Read;
    showChoiceList(t, behaviour::CommandCatalogue::controllerChoices(dir), true);
}

void CEditorView::kindTyping()
{
    if (editing_.kind == Kind::Cell)
        openTextBox(editing_, {}, 0);
}

void CEditorView::kindDevice()
{
    if (editing_.kind == Kind::Cell)
        openParameterDialog(editing_);
}

bool CEditorView::textBoxFocused() const
{
    return textBox_->isVisible() && textBox_->hasFocus();
}

bool CEditorView::hasSelection() const
{
    return doc_.program().selectionSize() > 0;
}

bool CEditorView::canCutOrCopy() const
{
    return textBoxFocused() || hasSelection();
}

bool CEditorView::canPaste() const
{
    return textBoxFocused() || clipboard_.hasBlock();
}

void CEditorView::cut()
{
    if (textBoxFocused()) {
        textBox_->cut();
        return;
    }
    hidePopups();
    if (!hasSelection())
        return;
    auto& p = doc_.program();
    // The lines leave the program only once the clipboard holds them.
    if (!clipboard_.putBlock(p.copySelection())) {
        prompter_.message(text(Str::ClipboardFailed));
        return;
    }
    const int first = p.selFirst(), last = p.selLast();
    p.cutSelection();
    doc_.commit();
    selectionRepaint(first, last);
}

void CEditorView::copy()
{
    if (textBoxFocused()) {
        textBox_->copy();
        return;
    }
    hidePopups();
    if (hasSelection())
        clipboard_.putBlock(doc_.program().copySelection());
    emit editStateChanged();
}

void CEditorView::paste()
{
    if (textBoxFocused()) {
        textBox_->paste();
        return;
    }
    hidePopups();
    const auto block = clipboard_.block();
    if (!hasSelection() || !block)
        return;
    const GridTarget at = grid_->currentTarget();
    if (doc_.program().pasteBlock(*block)) {
        doc_.commit();
        model_->rebuild();
        // The rebuilt grid keeps the highlight where the user was, so the keys go on from there.
        if (at.line < doc_.program().count())
            grid_->setCurrentTarget(at);
    }
    emit editStateChanged();
}

void CEditorView::insertLines()
{
    hidePopups();
    auto& p = doc_.program();
    if (!hasSelection())
        return;
    const int first = p.selFirst(), last = p.selLast();
    p.insertLines(first, p.selectionSize());
    doc_.commit();
    selectionRepaint(first, last);
}

void CEditorView::deleteLines()
{
    hidePopups();
    auto& p = doc_.program();
    if (!hasSelection())
        return;
    const int first = p.selFirst(), last = p.selLast();
    p.deleteLines(first, p.selectionSize());
    doc_.commit();
    selectionRepaint(first, last);
}

void CEditorView::toggleEnabled()
{
    hidePopups();
    auto& p = doc_.program();
    if (!hasSelection())
        return;
    p.toggleEnabled(p.selFirst(), p.selLast());
    doc_.commit();
}

void CEditorView::selectByKey(int delta)
{
    auto& p = doc_.program();
    const int oldFirst = p.selFirst(), oldLast = p.selLast();
    if (oldFirst < 0 || anchorLine_ < 0 || focusLine_ < 0 || anchorLine_ >= p.count()) {
        anchorLine_ = focusLine_ = std::clamp(grid_->currentTarget().line, 0, p.count() - 1);
    } else {
        focusLine_ = std::clamp(focusLine_ + delta, 0, p.count() - 1);
    }
    hidePopups();
    p.selectOne(anchorLine_);
    p.extendSelection(focusLine_);
    // The highlight goes to the line number, where Delete deletes the selected lines.
    goTo({Kind::LineNumber, focusLine_, -1});
    selectionRepaint(oldFirst, oldLast);
}

void CEditorView::moveByKey(int delta)
{
    hidePopups();
    auto& p = doc_.program();
    const int first = p.selFirst(), last = p.selLast();
    if (!p.moveSelection(delta))
        return;
    doc_.commit(std::min(first, first + delta), std::max(last, last + delta));
    anchorLine_ = p.selFirst();
    focusLine_ = p.selLast();
    goTo({Kind::LineNumber, delta < 0 ? p.selFirst() : p.selLast(), -1});
    emit editStateChanged();
}

void CEditorView::undo()
{
    hidePopups();
    const int first = doc_.program().selFirst(), last = doc_.program().selLast();
    doc_.undo(); // drops the selection
    selectionRepaint(first, last);
}

void CEditorView::redo()
{
    hidePopups();
    const int first = doc_.program().selFirst(), last = doc_.program().selLast();
    doc_.redo();
    selectionRepaint(first, last);
}

} // namespace programmer
