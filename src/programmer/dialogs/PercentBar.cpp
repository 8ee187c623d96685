#include "programmer/dialogs/PercentBar.h"

#include <QPainter>

#include <algorithm>

namespace programmer {

PercentBar::PercentBar(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted, so the background need not be erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PercentBar::setPercent(int percent)
{
    percent_ = std::clamp(percent, 0, 100);
    repaint();
}

int PercentBar::filledWidth(int clientWidth, int percent)
{
    return std::max(0, clientWidth) * std::clamp(percent, 0, 100) / 100;
}

QSize PercentBar::sizeHint() const
{
    return {200, fontMetrics().height() + 8};
}

void PercentBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect all = rect();
    const int fill = filledWidth(all.width(), percent_);
    const QRect filled(all.left(), all.top(), fill, all.height());
    const QRect rest(all.left() + fill, all.top(), all.width() - fill, all.height());
    p.fillRect(filled, kBarColour);
    p.fillRect(rest, Qt::white);
    const QString text = QStringLiteral("%1%").arg(percent_);
    p.save();
    p.setClipRect(filled);
    p.setPen(Qt::white);
    p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, text);
    p.restore();
    p.setClipRect(rest);
    p.setPen(kBarColour);
    p.drawText(all, Qt::AlignCenter | Qt::TextSingleLine, text);
}

} // namespace programmer
