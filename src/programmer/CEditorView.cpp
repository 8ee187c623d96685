#include "programmer/CEditorView.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CGridCtrl.h"
#include "programmer/EditorPopups.h"
#include "programmer/GridModel.h"
#include "programmer/LineClipboard.h"
#include "programmer/ProgrammerTexts.h"
#include "programmer/Prompter.h"
#include "programmer/SetParameterDialog.h"

#include "behaviour/CellEditing.h"

#include <QMenu>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace programmer {

using behaviour::ProgramCell;
using Kind = GridTarget::Kind;

namespace {

QString fromBytes(const std::string& s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::string toBytes(const QString& s)
{
    return s.toLatin1().toStdString();
}

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
    connect(choiceList_, &ChoiceList::chosen, this, &CEditorView::chosen);
    connect(textBox_, &InPlaceTextBox::accepted, this, &CEditorView::textAccepted);
    connect(buttonPad_, &BitPad::closed, this, [this](int bits) { padClosed(buttonPad_, bits); });
    connect(remoconPad_, &BitPad::closed, this, [this](int bits) { padClosed(remoconPad_, bits); });
    connect(&doc_, &CEditorDoc::linesChanged, model_, &GridModel::linesChanged);
    connect(&doc_, &CEditorDoc::linesChanged, this, &CEditorView::editStateChanged);

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
    choiceList_->hide();
    textBox_->hide();
    buttonPad_->hide();
    remoconPad_->hide();
}

void CEditorView::setCurrent(const GridTarget& t)
{
    auto& p = doc_.program();
    const int old = p.curLine() >= 0 ? p.curLine() : t.line;
    p.setCurrent(t.line, t.kind == Kind::Cell ? t.index : 0);
    doc_.commit(std::min(old, t.line), std::max(old, t.line));
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
        } else {
            p.selectOne(t.line);
        }
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
    auto& p = doc_.program();
    if (t.kind == Kind::Label || t.kind == Kind::Comment) {
        setCurrent(t);
        const auto& line = p.line(t.line);
        const bool label = t.kind == Kind::Label;
        openTextBox(t, fromBytes(label ? line.label : line.comment),
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
            openTextBox(t, fromBytes(c.text), 0);
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
    grid_->setCurrentTarget(t);
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
    r.setLeft(r.left() + offset);
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
    choiceList_->fill(items, icons);
    const QRect want(cell.topLeft(), QSize(cell.width() + 80, 4 * cell.height()));
    choiceList_->setGeometry(QRect(placeInside(want), want.size()));
    choiceList_->show();
    choiceList_->raise();
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
    if (t.kind == Kind::Label) {
        line.label = toBytes(typed);
    } else if (t.kind == Kind::Comment) {
        line.comment = toBytes(typed);
    } else if (t.kind == Kind::Cell) {
        if (!behaviour::typeText(line, t.index, toBytes(typed))) {
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
    const auto block = clipboard_.block();
    if (!hasSelection() || !block)
        return;
    if (doc_.program().pasteBlock(*block)) {
        doc_.commit();
        model_->rebuild();
    }
    emit editStateChanged();
}

void CEditorView::insertLines()
{
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
    auto& p = doc_.program();
    if (!hasSelection())
        return;
    p.toggleEnabled(p.selFirst(), p.selLast());
    doc_.commit();
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
