#include "terminal/TerminalStatusBar.h"

#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace terminal {

TerminalStatusBar::TerminalStatusBar(QWidget* parent) : QStatusBar(parent)
{
    first_ = new QWidget(this);
    parts_[0] = new QLabel(first_);
    scrollLock_ = new QLabel(QStringLiteral("SCRL"), first_);
    scrollLock_->hide();
    device_ = new QLabel(first_);
    device_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* row = new QHBoxLayout(first_);
    row->setContentsMargins(0, 0, 12, 0);
    row->addWidget(parts_[0], 1);
    row->addWidget(scrollLock_);
    row->addWidget(device_);
    parts_[1] = new QLabel(this);
    setSizeGripEnabled(false); // the parts keep their edges; the frame sizes the window
    addWidget(first_);
    addWidget(parts_[1]);
}

void TerminalStatusBar::setTexts(const std::string& file, const std::string& device,
                                 const std::string& connection)
{
    parts_[0]->setText(QString::fromStdString(file));
    device_->setText(QString::fromStdString(device));
    parts_[1]->setText(QString::fromStdString(connection));
}

void TerminalStatusBar::setScrollLock(bool on)
{
    scrollLock_->setVisible(on);
}

void TerminalStatusBar::layoutFor(int windowWidth)
{
    const int first = (windowWidth / 6) * 5;
    first_->setFixedWidth(std::max(0, first - 8));
    parts_[1]->setFixedWidth(std::max(0, (windowWidth / 6) * 6 - first - 8));
}

QSize TerminalStatusBar::minimumSizeHint() const
{
    return {0, QStatusBar::minimumSizeHint().height()};
}

QString TerminalStatusBar::text(int part) const
{
    return parts_[part == 0 ? 0 : 1]->text();
}

QString TerminalStatusBar::deviceText() const
{
    return device_->text();
}

} // namespace terminal
