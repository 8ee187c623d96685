#include "terminal/SendStringsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace terminal {

using termcore::SessionSettings;

SendStringsDialog::SendStringsDialog(const Strings& strings, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Send strings"));
    auto* column = new QVBoxLayout(this);
    auto* hint =
        new QLabel(QStringLiteral("Ctrl+1 to Ctrl+9 send them. Escapes: \\r \\n \\t \\e \\xNN \\\\"), this);
    hint->setWordWrap(true);
    column->addWidget(hint);
    table_ = new QTableWidget(SessionSettings::kSendStrings, 2, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Bytes")});
    QStringList numbers;
    for (int i = 0; i < SessionSettings::kSendStrings; ++i) {
        numbers << QStringLiteral("Ctrl+%1").arg(i + 1);
        table_->setItem(i, 0, new QTableWidgetItem(QString::fromLatin1(strings[i].name)));
        table_->setItem(i, 1, new QTableWidgetItem(QString::fromLatin1(strings[i].text)));
    }
    table_->setVerticalHeaderLabels(numbers);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumWidth(560);
    column->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

SendStringsDialog::Strings SendStringsDialog::strings() const
{
    // The side file keeps a name and its text on one line, the name ending at '|'.
    auto clean = [](const QTableWidgetItem* item, QChar drop, int limit) {
        std::string out;
        for (QChar c : item ? item->text() : QString())
            if (c.unicode() >= 0x20 && c.unicode() <= 0xFF && c != drop && out.size() < size_t(limit))
                out.push_back(static_cast<char>(c.unicode()));
        return out;
    };
    Strings out;
    for (int i = 0; i < SessionSettings::kSendStrings; ++i) {
        out[i].name = clean(table_->item(i, 0), QLatin1Char('|'), SessionSettings::kMaxNameLength);
        out[i].text = clean(table_->item(i, 1), QChar(), SessionSettings::kMaxTextLength);
    }
    return out;
}

} // namespace terminal
