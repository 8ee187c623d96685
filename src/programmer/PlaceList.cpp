#include "programmer/PlaceList.h"

#include <QHeaderView>

namespace programmer {

namespace {

QString whereIn(const GridTarget& t)
{
    switch (t.kind) {
    case GridTarget::Kind::Label:
        return "Label";
    case GridTarget::Kind::Comment:
        return "Comment";
    case GridTarget::Kind::Cell:
        return QString::number(t.index + 1);
    default:
        return {};
    }
}

} // namespace

PlaceList::PlaceList(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName("placeList");
    setColumnCount(3);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemClicked, this, &PlaceList::chosen);
    connect(this, &QTreeWidget::itemActivated, this, &PlaceList::chosen);
}

void PlaceList::setPlaces(const QString& whatHeader, const std::vector<ListedPlace>& places)
{
    places_ = places;
    clear();
    setHeaderLabels({"Line", "Cell", whatHeader});
    for (const auto& p : places) {
        const bool inLine = p.target.kind != GridTarget::Kind::None;
        auto* item = new QTreeWidgetItem(
            this, {inLine ? QString::number(p.target.line + 1) : QString(), whereIn(p.target), p.what});
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void PlaceList::step(bool forward)
{
    const int n = topLevelItemCount();
    if (n == 0)
        return;
    const int at = indexOfTopLevelItem(currentItem());
    const int next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
    setCurrentItem(topLevelItem(next));
    chosen(topLevelItem(next));
}

void PlaceList::chosen(QTreeWidgetItem* item)
{
    const int i = indexOfTopLevelItem(item);
    if (i < 0 || i >= count())
        return;
    const GridTarget& t = places_[static_cast<size_t>(i)].target;
    if (t.kind != GridTarget::Kind::None)
        emit goTo(t);
}

} // namespace programmer
