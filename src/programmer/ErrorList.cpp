#include "programmer/ErrorList.h"

#include <QHeaderView>

namespace programmer {

ErrorList::ErrorList(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName("errorList");
    setColumnCount(3);
    setHeaderLabels({"Line", "Cell", "Reason"});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemClicked, this, &ErrorList::chosen);
    connect(this, &QTreeWidget::itemActivated, this, &ErrorList::chosen);
}

void ErrorList::setProblems(const std::vector<behaviour::CheckProblem>& problems)
{
    problems_ = problems;
    clear();
    for (const auto& p : problems) {
        const QString line = p.line >= 0 ? QString::number(p.line + 1) : QString();
        const QString cell = p.line >= 0 && p.cell >= 0 ? QString::number(p.cell + 1) : QString();
        auto* item =
            new QTreeWidgetItem(this, {line, cell, QString::fromUtf8(behaviour::problemText(p.problem))});
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void ErrorList::step(bool forward)
{
    const int n = topLevelItemCount();
    if (n == 0)
        return;
    const int at = indexOfTopLevelItem(currentItem());
    const int next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
    setCurrentItem(topLevelItem(next));
    chosen(topLevelItem(next));
}

void ErrorList::chosen(QTreeWidgetItem* item)
{
    const int i = indexOfTopLevelItem(item);
    if (i < 0 || i >= static_cast<int>(problems_.size()))
        return;
    const auto& p = problems_[static_cast<size_t>(i)];
    if (p.line >= 0)
        emit goTo(p.line, p.cell);
}

} // namespace programmer
