#include "programmer/EditorPopups.h"

#include "programmer/CatalogueIcons.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>

#include <algorithm>

namespace programmer {

ChoiceList::ChoiceList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(IconSize, IconSize));
    setUniformItemSizes(true);
    hide();
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { choose(row(item)); });
}

void ChoiceList::fill(const std::vector<behaviour::ChoiceItem>& items, bool withIcons, int current)
{
    clear();
    items_ = items;
    const auto& cat = behaviour::CommandCatalogue::instance();
    for (const auto& i : items) {
        auto* item = new QListWidgetItem(QString::fromStdString(cat.name(i.entry)), this);
        if (withIcons && i.entry < CatalogueIconCount)
            item->setIcon(catalogueIcon(i.entry));
        item->setSizeHint(QSize(0, withIcons ? IconSize + 4 : 22));
    }
    const auto at = std::find_if(items.begin(), items.end(),
                                 [current](const behaviour::ChoiceItem& i) { return i.entry == current; });
    if (!items.empty())
        setCurrentRow(at == items.end() ? 0 : static_cast<int>(at - items.begin()));
}

void ChoiceList::choose(int row)
{
    if (row < 0 || row >= static_cast<int>(items_.size()))
        return;
    const behaviour::ChoiceItem item = items_[static_cast<size_t>(row)];
    hide();
    emit chosen(item);
}

void ChoiceList::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        choose(currentRow());
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QListWidget::keyPressEvent(e);
}

void ChoiceList::focusOutEvent(QFocusEvent* e)
{
    QListWidget::focusOutEvent(e);
    if (e->reason() != Qt::PopupFocusReason && e->reason() != Qt::ActiveWindowFocusReason)
        hide();
}

InPlaceTextBox::InPlaceTextBox(QWidget* parent) : QLineEdit(parent)
{
    hide();
}

void InPlaceTextBox::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        emit accepted(text());
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void InPlaceTextBox::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    // A menu opened over it (Edit / Cut) or another window activated does not close it.
    if (e->reason() != Qt::PopupFocusReason && e->reason() != Qt::ActiveWindowFocusReason)
        hide();
}

BitPad::BitPad(QWidget* parent, const std::vector<Box>& boxes, QSize size) : QWidget(parent)
{
    setFixedSize(size);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    for (const Box& b : boxes) {
        auto* box = new QCheckBox(this);
        box->setGeometry(b.x, b.y, 15, 15);
        boxes_.push_back({box, b.bit});
        if (b.name) {
            auto* name = new QLabel(b.name, this);
            QFont f = name->font();
            f.setPixelSize(10);
            name->setFont(f);
            name->setGeometry(b.x + 16, b.y, 12, 15);
        }
        const int bit = b.bit;
        connect(box, &QCheckBox::clicked, this, [this, bit](bool) { bits_ ^= bit; });
    }
    hide();
    connect(qApp, &QApplication::focusChanged, this, &BitPad::focusChanged);
}

BitPad::~BitPad()
{
    disconnect(qApp, nullptr, this, nullptr);
}

void BitPad::showBits(int bits, const QPoint& at)
{
    bits_ = bits;
    for (auto& [box, bit] : boxes_)
        box->setChecked(bit != 0 && (bits & bit));
    move(at);
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

QCheckBox* BitPad::boxForBit(int bit) const
{
    for (const auto& [box, b] : boxes_)
        if (b == bit)
            return box;
    return nullptr;
}

void BitPad::close()
{
    if (!isVisible())
        return;
    hide();
    emit closed(bits_);
}

void BitPad::focusChanged(QWidget*, QWidget* now)
{
    if (isVisible() && now && now != this && !isAncestorOf(now))
        close();
}

BitPad* makeButtonPad(QWidget* parent)
{
    return new BitPad(
        parent, {{35, 10, 8, "U"}, {35, 50, 4, "D"}, {15, 30, 2, "L"}, {60, 30, 1, "R"}, {90, 10, 16, "S"}},
        QSize(120, 75));
}

BitPad* makeRemoconPad(QWidget* parent)
{
    return new BitPad(parent,
                      {{35, 5, 0},
                       {35, 25, 1},
                       {35, 65, 2},
                       {10, 45, 4},
                       {60, 45, 8},
                       {35, 45, 0},
                       {105, 5, 0},
                       {105, 25, 16},
                       {105, 65, 32},
                       {80, 45, 0},
                       {130, 45, 0},
                       {105, 45, 0}},
                      QSize(150, 90));
}

} // namespace programmer
