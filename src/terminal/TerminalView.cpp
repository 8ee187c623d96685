#include "terminal/TerminalView.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace terminal {

QFont chooseTerminalFont(int pixelSize)
{
    QFont font(QStringLiteral("Fixedsys"));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 16);
    font.setWeight(QFont::Medium);
    font.setFixedPitch(true);
    const QFontInfo info(font);
    if (info.family().compare(QStringLiteral("Fixedsys"), Qt::CaseInsensitive) != 0 || !info.fixedPitch()) {
        // No such face here: the system's fixed-pitch font, as large as fits a 16-pixel line.
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        int size = 16;
        for (; size > 8 && pixelSize <= 0; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).height() <= 17)
                break;
        }
        font.setPixelSize(pixelSize > 0 ? pixelSize : size);
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
    : QAbstractScrollArea(parent), screen_(screen), visibleColumns_(visibleColumns), visibleRows_(visibleRows)
{
    useFont(font);

    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::IBeamCursor);
    // A thin border in the background colour keeps the first column off the window's edge.
    setViewportMargins(kMargin, kMargin, 0, 0);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &TerminalView::onVerticalAction);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TerminalView::onHorizontalAction);
    // A line every 50 ms while the held pointer is beyond an edge: a screenful in about a second.
    autoScroll_.setInterval(50);
    connect(&autoScroll_, &QTimer::timeout, this, &TerminalView::autoScroll);
}

QSize TerminalView::sizeHint() const
{
    return {kMargin + viewportSize_.width() + verticalScrollBar()->sizeHint().width(),
            kMargin + viewportSize_.height() + horizontalScrollBar()->sizeHint().height()};
}

QSize TerminalView::minimumSizeHint() const
{
    constexpr int kMinColumns = 20, kMinRows = 4;
    return {kMargin + kMinColumns * std::max(1, metrics_.charWidth) + verticalScrollBar()->sizeHint().width(),
            kMargin + kMinRows * std::max(1, metrics_.charHeight) +
                horizontalScrollBar()->sizeHint().height()};
}

QPoint TerminalView::cellAt(const QPoint& point) const
{
    const int cw = std::max(1, metrics_.charWidth);
    const int lh = std::max(1, metrics_.charHeight);
    const int x = point.x() + screen_.scrollX();
    const int y = point.y() + screen_.scrollY();
    const int column = std::clamp(x < 0 ? 0 : x / cw, 0, std::max(0, screen_.columns() - 1));
    const int row = std::clamp(y < 0 ? 0 : y / lh, 0, std::max(0, screen_.rows() - 1));
    return {column, row};
}

void TerminalView::press(const QPoint& point, termcore::SelectUnit unit)
{
    if (!screen_.initialised())
        return;
    const QPoint cell = cellAt(point);
    selection_.start(screen_, cell.x(), cell.y(), unit);
    dragging_ = true;
    viewport()->update();
    emit selectionChanged();
}

void TerminalView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // A press soon after a double click, near it, is the third click: the whole line.
    // Event times, not the clock: what counts is when the user clicked.
    const bool triple =
        afterDoubleClick_ &&
        event->timestamp() - doubleClickTime_ < quint64(QApplication::doubleClickInterval()) &&
        (event->position().toPoint() - doubleClickAt_).manhattanLength() <
            QApplication::startDragDistance() * 2;
    afterDoubleClick_ = false;
    press(event->position().toPoint(), triple ? termcore::SelectUnit::Line : termcore::SelectUnit::Cell);
    event->accept();
}

void TerminalView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    afterDoubleClick_ = true;
    doubleClickTime_ = event->timestamp();
    doubleClickAt_ = event->position().toPoint();
    press(doubleClickAt_, termcore::SelectUnit::Word);
    event->accept();
}

void TerminalView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    dragAt_ = event->position().toPoint();
    extendTo(dragAt_);
    if (viewport()->rect().contains(dragAt_))
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start();
    event->accept();
}

void TerminalView::extendTo(const QPoint& point)
{
    const QPoint cell = cellAt(point);
    const bool was = selection_.empty();
    const int64_t first = selection_.first(), last = selection_.last();
    selection_.extend(screen_, cell.x(), cell.y());
    if (was != selection_.empty() || first != selection_.first() || last != selection_.last()) {
        viewport()->update();
        emit selectionChanged();
    }
}

void TerminalView::autoScroll()
{
    // Runs only while dragging: the release stops it.
    const QRect area = viewport()->rect();
    bool moved = false;
    if (dragAt_.y() < area.top())
        moved |= screen_.verticalScroll(termcore::ScrollCode::LineUp);
    else if (dragAt_.y() > area.bottom())
        moved |= screen_.verticalScroll(termcore::ScrollCode::LineDown);
    if (dragAt_.x() < area.left())
        moved |= screen_.horizontalScroll(termcore::ScrollCode::LineUp);
    else if (dragAt_.x() > area.right())
        moved |= screen_.horizontalScroll(termcore::ScrollCode::LineDown);
    if (!moved)
        return; // at the end already: wait for the pointer, or for more text
    syncScrollBars();
    viewport()->update();
    extendTo(dragAt_);
}

void TerminalView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        autoScroll_.stop();
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TerminalView::clearSelection()
{
    if (selection_.empty())
        return;
    selection_.clear();
    viewport()->update();
    emit selectionChanged();
}

void TerminalView::setFindText(const std::string& needle)
{
    findText_ = needle;
    viewport()->update();
}

void TerminalView::setCurrentMatch(std::optional<termcore::TextMatch> match)
{
    current_ = match;
    if (match && screen_.initialised()) {
        // Bring the match into view, as a hand scroll would (the next received batch returns
        // the view to where it stood).
        const int cell = termcore::logicalCell(screen_, match->start);
        const int lh = std::max(1, metrics_.charHeight);
        const int row = cell / std::max(1, screen_.columns());
        const int top = screen_.scrollY() / lh;
        const int shown = std::max(1, screen_.viewHeight() / lh);
        if (cell >= 0 && (row < top || row >= top + shown)) {
            const int target = std::max(0, row - shown / 2) * lh;
            screen_.verticalScroll(termcore::ScrollCode::ThumbTrack, target);
            syncScrollBars();
        }
    }
    viewport()->update();
}

bool TerminalView::createScreen(int columns, int rows)
{
    if (!screen_.create(columns, rows, metrics_, viewportSize_.width(), viewportSize_.height()))
        return false;
    syncScrollBars();
    viewport()->update();
    return true;
}

void TerminalView::useFont(const QFont& font)
{
    font_ = font;
    const QFontMetrics fm(font_);
    metrics_.charWidth = std::max(0, fm.horizontalAdvance(QLatin1Char('M')));
    metrics_.charHeight = std::max(0, fm.height());
    ascent_ = fm.ascent();
    viewportSize_ = QSize(visibleColumns_ * metrics_.charWidth, visibleRows_ * metrics_.charHeight);
    placeholder_ = fm.inFontUcs4(0x2592) ? QChar(0x2592) : QLatin1Char('?');
}

QSize TerminalView::visibleCells() const
{
    return {viewport()->width() / std::max(1, metrics_.charWidth),
            viewport()->height() / std::max(1, metrics_.charHeight)};
}

QSize TerminalView::setTerminalFont(const QFont& font)
{
    const QSize cells = visibleCells();
    const termcore::FontMetrics before = metrics_;
    useFont(font);
    // The model counts in pixels of the cell; it follows the font actually chosen.
    screen_.setMetrics(metrics_);
    screen_.setViewSize(viewport()->width(), viewport()->height());
    syncScrollBars();
    updateGeometry();
    viewport()->update();
    return {cells.width() * (metrics_.charWidth - before.charWidth),
            cells.height() * (metrics_.charHeight - before.charHeight)};
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

void TerminalView::scrollPage(bool up)
{
    screen_.verticalScroll(up ? termcore::ScrollCode::PageUp : termcore::ScrollCode::PageDown);
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
    clearSelection();
    current_.reset();
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
        const auto matches =
            findText_.empty() ? std::vector<termcore::TextMatch>()
                              : termcore::ScreenSearch::matchesInRows(screen_, findText_, firstRow, lastRow);
        QString run;
        for (int row = firstRow; row <= lastRow && firstCol <= lastCol; ++row) {
            const uint8_t* cells = screen_.rowData(row);
            run.resize(lastCol - firstCol + 1);
            QChar* out = run.data();
            for (int c = firstCol; c <= lastCol; ++c)
                *out++ = glyphFor(cells[c]);
            p.drawText(x0, row * lh - sy - rect.top() + ascent_, run);
            paintHighlights(p, row, firstCol, lastCol, x0, row * lh - sy - rect.top(), matches);
        }
    }
    painter.drawPixmap(rect.topLeft(), pixmap);
}

QChar TerminalView::glyphFor(uint8_t b) const
{
    // Bytes shown from an unfinished escape sequence may be control codes, which have no
    // glyph: they get a visible mark of one cell, so the columns after them stay put.
    const bool control = b < 0x20 || (b >= 0x7F && b < 0xA0);
    return control ? placeholder_ : QChar(char16_t(b));
}

void TerminalView::paintHighlights(QPainter& p, int row, int firstCol, int lastCol, int x0, int y,
                                   const std::vector<termcore::TextMatch>& matches)
{
    // Matches in yellow, the current one in orange, the selection in the text colour with the
    // text in the background colour; each span is drawn again over its own background.
    static const QColor kMatch(255, 230, 90);
    static const QColor kCurrent(255, 150, 40);
    const int cw = std::max(1, metrics_.charWidth);
    const int lh = std::max(1, metrics_.charHeight);
    const int64_t rowStart = termcore::absoluteCell(screen_, 0, row);
    const uint8_t* cells = screen_.rowData(row);
    auto span = [&](int64_t first, int64_t last, QColor fill, QColor ink) {
        const int from = static_cast<int>(std::max<int64_t>(first - rowStart, firstCol));
        const int to = static_cast<int>(std::min<int64_t>(last - rowStart, lastCol));
        if (from > to)
            return;
        const int x = x0 + (from - firstCol) * cw;
        p.fillRect(x, y, (to - from + 1) * cw, lh, fill);
        QString text(to - from + 1, QLatin1Char(' '));
        for (int c = from; c <= to; ++c)
            text[c - from] = glyphFor(cells[c]);
        p.setPen(ink);
        p.drawText(x, y + ascent_, text);
    };
    for (const termcore::TextMatch& m : matches) {
        const bool current = current_ && current_->start == m.start;
        span(m.start, m.start + m.length - 1, current ? kCurrent : kMatch, Qt::black);
    }
    if (!selection_.empty())
        span(selection_.first(), selection_.last(), text_, background_);
    p.setPen(text_);
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
