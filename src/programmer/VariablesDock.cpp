#include "programmer/VariablesDock.h"

#include <QHeaderView>
#include <QTableWidget>

namespace programmer {

VariablesDock::VariablesDock(QWidget* parent) : QDockWidget(QStringLiteral("Variables"), parent)
{
    setObjectName(QStringLiteral("variablesDock"));
    table_ = new QTableWidget(0, 2, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setColumnWidth(0, 140);
    setWidget(table_);
}

void VariablesDock::setRow(int row, const QString& name, const QString& value, bool changed)
{
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem* item = table_->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            table_->setItem(row, column, item);
        }
        item->setText(column == 0 ? name : value);
        QFont font = table_->font();
        font.setBold(changed);
        item->setFont(font);
        item->setForeground(changed ? QColor(200, 0, 0) : table_->palette().color(QPalette::Text));
    }
}

void VariablesDock::showSession(const debugclient::DebugSession& session)
{
    const auto& variables = session.variables();
    const debugclient::DebugState& state = session.lastState();
    const int rows = static_cast<int>(variables.size()) + 3;
    table_->setRowCount(rows);
    int row = 0;
    for (const auto& v : variables)
        setRow(row++, QString::fromLatin1(v.name.data(), static_cast<qsizetype>(v.name.size())),
               QString::number(v.value), v.changed);
    // The controller's own registers a program most often waits on.
    setRow(row++, QStringLiteral("KZ-7 Timer"), QString::number(state.timer), false);
    setRow(row++, QStringLiteral("KZ-7 Button"), QString::number(state.buttons), false);
    setRow(row, QStringLiteral("KZ-7 AUX LED"), QString::number(state.auxLed), false);
}

} // namespace programmer
