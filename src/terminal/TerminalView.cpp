#include "terminal/TerminalView.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace terminal {

QFont chooseTerminalFont()
{
    QFont font(QStringLiteral("Fixedsys"));
    font.setPixelSize(16);
    font.setWeight(QFont::Medium);
    font.setFixedPitch(true);
    const QFontInfo info(font);
    if (info.family().compare(QStringLiteral("Fixedsys"), Qt::CaseInsensitive) != 0 || !info.fixedPitch()) {
        // No such face here: the system's fixed-pitch font, as large as fits a 16-pixel line.
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        int size = 16;
        for (; size > 8; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).height() <= 17)
                break;
        }
        font.setPixelSize(size);
    }
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferAntialias);
    // Put every glyph exactly on the integer cell grid the screen model counts in.
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    const qreal cell = std::max<qreal>(1, std::round(advance));
    font.setLetterSpacing(QFont::AbsoluteSpacing, cell - advance);
    return font;
}

TerminalView::TerminalView(termcore::TerminalScreen& screen, const QFont& font, int visibleColumns,
                           int visibleRows, QWidget* parent)
    : QAbstractScrollArea(parent), screen_(screen), font_(font)
{
    const QFontMetrics fm(font_);
    metrics_.charWidth = std::max(0, fm.horizontalAdvance(QLatin1Char('M')));
    metrics_.charHeight = std::max(0, fm.height());
    ascent_ = fm.ascent();
    viewportSize_ = QSize(visibleColumns * metrics_.charWidth, visibleRows * metrics_.charHeight);

    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setFixedSize(viewportSize_);
    // A thin border in the background colour keeps the first column off the window's edge.
    setViewportMargins(kMargin, kMargin, 0, 0);
    setAutoFillBackground(true);
    setFixedSize(kMargin + viewportSize_.width() + verticalScrollBar()->sizeHint().width(),
                 kMargin + viewportSize_.height() + horizontalScrollBar()->sizeHint().height());
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &TerminalView::onVerticalAction);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TerminalView::onHorizontalAction);
}

bool TerminalView::createScreen(int columns, int rows)
{
    if (!screen_.create(columns, rows, metrics_, viewportSize_.width(), viewportSize_.height()))
        return false;
    syncScrollBars();
    viewport()->update();
    return true;
}

void TerminalView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    screen_.setViewSize(viewport()->width(), viewport()->height());
    syncScrollBars();
}

void TerminalView::syncScrollBars()
{
    syncing_ = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, screen_.verticalMaximum());
    v->setPageStep(std::max(1, screen_.viewHeight()));
    v->setSingleStep(std::max(1, screen_.lineHeight()));
    v->setValue(screen_.scrollY());
    v->setEnabled(screen_.contentHeight() > screen_.viewHeight() || screen_.scrollY() > 0);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, screen_.horizontalMaximum());
    h->setPageStep(std::max(1, screen_.viewWidth()));
    h->setSingleStep(std::max(1, screen_.metrics().charWidth));
    h->setValue(screen_.scrollX());
    h->setEnabled(screen_.contentWidth() > screen_.viewWidth() || screen_.scrollX() > 0);
    syncing_ = false;
}

namespace {
termcore::ScrollCode codeFor(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return termcore::ScrollCode::LineUp;
    case QAbstractSlider::SliderSingleStepAdd:
        return termcore::ScrollCode::LineDown;
    case QAbstractSlider::SliderPageStepSub:
        return termcore::ScrollCode::PageUp;
    case QAbstractSlider::SliderPageStepAdd:
        return termcore::ScrollCode::PageDown;
    case QAbstractSlider::SliderMove:
        return termcore::ScrollCode::ThumbTrack;
    default:
        return termcore::ScrollCode::Other;
    }
}
} // namespace

void TerminalView::onVerticalAction(int action)
{
    QScrollBar* v = verticalScrollBar();
    screen_.verticalScroll(codeFor(action), v->sliderPosition());
    // The model decides where the view stands; the slider follows it.
    v->setSliderPosition(screen_.scrollY());
    viewport()->update();
}

void TerminalView::onHorizontalAction(int action)
{
    QScrollBar* h = horizontalScrollBar();
    screen_.horizontalScroll(codeFor(action), h->sliderPosition());
    h->setSliderPosition(screen_.scrollX());
    viewport()->update();
}

void TerminalView::scrollContentsBy(int, int)
{
    if (!syncing_)
        viewport()->update();
}

void TerminalView::wheelLines(int delta)
{
    if (delta == 0)
        return;
    screen_.wheel(delta);
    syncScrollBars();
    viewport()->update();
}

void TerminalView::wheelEvent(QWheelEvent* event)
{
    wheelLines(event->angleDelta().y());
    event->accept();
}

void TerminalView::write(const uint8_t* bytes, size_t length)
{
    const uint64_t generation = screen_.scrollGeneration();
    screen_.write(bytes, length);
    syncScrollBars();
    if (screen_.scrollGeneration() != generation) {
        viewport()->update();
    } else {
        const termcore::PixelRect r = screen_.invalidRect();
        if (!r.empty())
            viewport()->update(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    }
    if (caretVisible_) {
        const QRect caret = caretRect();
        if (caret != shownCaret_) {
            viewport()->update(shownCaret_);
            viewport()->update(caret);
        }
    }
}

void TerminalView::clear()
{
    screen_.clear();
    syncScrollBars();
    viewport()->update();
}

void TerminalView::setBackground(QColor colour)
{
    background_ = colour;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
    viewport()->update();
}

void TerminalView::setTextColour(QColor colour)
{
    text_ = colour;
    viewport()->update();
}

void TerminalView::setCaretVisible(bool visible)
{
    if (visible == caretVisible_)
        return;
    caretVisible_ = visible;
    viewport()->update(caretRect());
    viewport()->update(shownCaret_);
}

QRect TerminalView::caretRect() const
{
    const termcore::PixelRect r = screen_.caretRect();
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TerminalView::paintRegion(QPainter& painter, const QRect& area)
{
    const int cw = std::max(1, metrics_.charWidth);
    const int lh = std::max(1, metrics_.charHeight);
    const int sx = screen_.scrollX();
    const int sy = screen_.scrollY();
    // Widen to whole cells in content coordinates, then clip to the view.
    int left = (area.left() + sx) / cw * cw - sx;
    int top = (area.top() + sy) / lh * lh - sy;
    int right = ((area.right() + 1 + sx + cw - 1) / cw) * cw - sx;
    int bottom = ((area.bottom() + 1 + sy + lh - 1) / lh) * lh - sy;
    const QRect rect =
        QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(viewport()->rect());
    if (rect.isEmpty())
        return;
    QPixmap pixmap(rect.size());
    pixmap.fill(background_);
    if (screen_.initialised()) {
        QPainter p(&pixmap);
        p.setFont(font_);
        p.setPen(text_);
        const int firstCol = std::max(0, (left + sx) / cw);
        const int lastCol = std::min(screen_.columns() - 1, (right + sx) / cw - 1);
        const int firstRow = std::max(0, (top + sy) / lh);
        const int lastRow = std::min(screen_.rows() - 1, (bottom + sy) / lh - 1);
        const int x0 = firstCol * cw - sx - rect.left();
        QString run;
        for (int row = firstRow; row <= lastRow && firstCol <= lastCol; ++row) {
            const uint8_t* cells = screen_.rowData(row);
            run.resize(lastCol - firstCol + 1);
            QChar* out = run.data();
            for (int c = firstCol; c <= lastCol; ++c) {
                const uint8_t b = cells[c];
                // Bytes shown from an unfinished escape sequence may be control codes.
                *out++ = QChar(char16_t(b < 0x20 || b == 0x7F ? ' ' : b));
            }
            p.drawText(x0, row * lh - sy - rect.top() + ascent_, run);
        }
    }
    painter.drawPixmap(rect.topLeft(), pixmap);
}

void TerminalView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    for (const QRect& r : event->region())
        paintRegion(painter, r);
    shownCaret_ = QRect();
    if (caretVisible_) {
        const QRect caret = caretRect();
        painter.fillRect(caret, text_);
        shownCaret_ = caret;
    }
}

} // namespace terminal
