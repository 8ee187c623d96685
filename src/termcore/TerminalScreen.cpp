#include "termcore/TerminalScreen.h"

#include <algorithm>
#include <cstring>

namespace termcore {

namespace {

// The final characters that end an escape sequence.
struct FinalTable {
    bool isFinal[256] = {};
    constexpr FinalTable()
    {
        const char* finals = "mKhlJGfsuABCDLM@PZHrtd";
        for (const char* p = finals; *p; ++p)
            isFinal[static_cast<unsigned char>(*p)] = true;
    }
};
constexpr FinalTable kFinals;

// A decimal number from an escape parameter; digits after the seventh saturate the value so
// that a long run of digits can never overflow.
int parseNumber(const uint8_t* text, int length)
{
    int i = 0;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 9999999) {
            value = 9999999;
            break;
        }
    }
    return negative ? -value : value;
}

// How far a scroll bar request moves the view, in pixels along the bar; the thumb's move is
// worked out by the caller, as the two bars round it differently.
int scrollMove(ScrollCode code, int line, int page, int thumbMove)
{
    switch (code) {
    case ScrollCode::LineUp:
        return -line;
    case ScrollCode::LineDown:
        return line;
    case ScrollCode::PageUp:
        return -page;
    case ScrollCode::PageDown:
        return page;
    case ScrollCode::ThumbTrack:
        return thumbMove;
    case ScrollCode::Other:
        break;
    }
    return 0;
}

// Where a scroll of `move` from `current` ends. The limit never falls below 0 nor below where
// the view already stands, so a short content cannot invert the range and "down" never moves up.
int scrollTarget(int current, int move, int limit)
{
    const int highest = std::max(limit, current);
    if (move > 0)
        return std::min(current + move, highest);
    return std::min(std::max(current + move, 0), highest);
}

} // namespace

bool TerminalScreen::create(int columns, int rows, FontMetrics metrics, int viewWidth, int viewHeight)
{
    if (initialised_ || columns <= 30 || rows <= 400)
        return false;
    columns_ = columns;
    rows_ = rows;
    cellCount_ = columns * rows;
    cells_.assign(static_cast<size_t>(cellCount_), ' ');
    charWidth_ = std::max(0, metrics.charWidth);
    charHeight_ = std::max(0, metrics.charHeight);
    lineHeight_ = charHeight_;
    viewWidth_ = std::max(0, viewWidth);
    viewHeight_ = std::max(0, viewHeight);
    inEscape_ = false;
    escapeLength_ = 0;
    initialised_ = true;
    clear();
    return true;
}

void TerminalScreen::destroy()
{
    cells_.clear();
    cells_.shrink_to_fit();
    columns_ = rows_ = cellCount_ = 0;
    initialised_ = false;
}

void TerminalScreen::setMetrics(FontMetrics metrics)
{
    // Positions and extents count in pixels of the cell: a new font keeps them on the same
    // cells.
    const int oldWidth = cw(), oldHeight = lh();
    charWidth_ = std::max(0, metrics.charWidth);
    charHeight_ = std::max(0, metrics.charHeight);
    lineHeight_ = charHeight_;
    auto across = [&](int& x) { x = x / oldWidth * charWidth_; };
    auto down = [&](int& y) { y = y / oldHeight * lineHeight_; };
    across(contentWidth_);
    across(savedScrollX_);
    down(contentHeight_);
    down(savedScrollY_);
    int x = scrollX_, y = scrollY_;
    across(x);
    down(y);
    setScroll(x, y);
}

void TerminalScreen::setViewSize(int width, int height)
{
    viewWidth_ = std::max(0, width);
    viewHeight_ = std::max(0, height);
    // A view that grows shows more of the history above, not blank rows below the text.
    if (scrollY_ > 0 && scrollY_ + viewHeight_ > contentHeight_)
        setScroll(scrollX_, contentHeight_ - viewHeight_);
    if (scrollX_ > 0 && scrollX_ + viewWidth_ > contentWidth_)
        setScroll(contentWidth_ - viewWidth_, scrollY_);
}

void TerminalScreen::setScrollLock(bool on)
{
    scrollLock_ = on;
}

uint8_t TerminalScreen::cell(int column, int row) const
{
    if (!initialised_ || column < 0 || column >= columns_ || row < 0 || row >= rows_)
        return ' ';
    int index = column + row * columns_ + ringStart_;
    if (index >= cellCount_)
        index -= cellCount_;
    return cells_[static_cast<size_t>(index)];
}

const uint8_t* TerminalScreen::rowData(int row) const
{
    if (!initialised_ || row < 0 || row >= rows_)
        return nullptr;
    int index = row * columns_ + ringStart_;
    if (index >= cellCount_)
        index -= cellCount_;
    return cells_.data() + index;
}

void TerminalScreen::clear()
{
    if (!initialised_)
        return;
    userScrolled_ = false;
    ringStart_ = 0;
    cursor_ = 0;
    discardedRows_ = 0;
    usedRows_ = 0;
    savedScrollX_ = savedScrollY_ = 0;
    setScroll(0, 0);
    contentWidth_ = contentHeight_ = 0;
    std::fill(cells_.begin(), cells_.end(), ' ');
    dirtyEmpty_ = true;
    updateScrollRanges();
    placeCaret(false);
    invalid_ = {0, 0, viewWidth_, viewHeight_};
}

void TerminalScreen::setScroll(int x, int y)
{
    x = std::max(0, x);
    y = std::max(0, y);
    if (x != scrollX_ || y != scrollY_) {
        scrollX_ = x;
        scrollY_ = y;
        ++scrollGeneration_;
    }
}

void TerminalScreen::startDirty()
{
    if (dirtyEmpty_) {
        dirtyMinCol_ = dirtyMaxCol_ = cursor_ % columns_;
        dirtyMinRow_ = dirtyMaxRow_ = cursor_ / columns_;
        dirtyEmpty_ = false;
    }
}

void TerminalScreen::widenDirty()
{
    widenDirtyAt(cursor_);
}

void TerminalScreen::printable(uint8_t byte)
{
    startDirty();
    int index = cursor_ + ringStart_;
    if (index >= cellCount_)
        index -= cellCount_;
    cells_[static_cast<size_t>(index)] = byte;
    ++cursor_;
    overflowCheck();
    widenDirty();
}

// A run of printable bytes, as printable() one by one would store them, but copied a row piece
// at a time with the dirty rectangle widened by the extremes of each piece.
void TerminalScreen::printableRun(const uint8_t* bytes, size_t count)
{
    startDirty();
    while (count > 0) {
        const int rowEnd = (cursor_ / columns_ + 1) * columns_;
        const int k = static_cast<int>(std::min<size_t>(count, static_cast<size_t>(rowEnd - cursor_)));
        int index = cursor_ + ringStart_;
        if (index >= cellCount_)
            index -= cellCount_;
        std::memcpy(cells_.data() + index, bytes, static_cast<size_t>(k));
        // The cursor passes cursor+1 .. cursor+k: all in this row but the last, which may
        // stand at the start of the next.
        widenDirtyAt(cursor_ + 1 < rowEnd ? cursor_ + 1 : cursor_);
        if (k > 1)
            widenDirtyAt(cursor_ + k - 1);
        cursor_ += k;
        overflowCheck();
        widenDirty();
        bytes += k;
        count -= static_cast<size_t>(k);
    }
}

void TerminalScreen::widenDirtyAt(int cell)
{
    const int col = cell % columns_;
    const int row = cell / columns_;
    dirtyMinCol_ = std::min(dirtyMinCol_, col);
    dirtyMaxCol_ = std::max(dirtyMaxCol_, col);
    dirtyMinRow_ = std::min(dirtyMinRow_, row);
    dirtyMaxRow_ = std::max(dirtyMaxRow_, row);
}

void TerminalScreen::overflowCheck()
{
    if (cursor_ < cellCount_)
        return;
    // Drop the oldest rows by moving the ring start: no text is copied.
    const int discard = kDiscardRows * columns_;
    const int first = std::min(discard, cellCount_ - ringStart_);
    std::memset(cells_.data() + ringStart_, ' ', static_cast<size_t>(first));
    if (first < discard)
        std::memset(cells_.data(), ' ', static_cast<size_t>(discard - first));
    ringStart_ = (ringStart_ + discard) % cellCount_;
    cursor_ -= discard;
    discardedRows_ += kDiscardRows;
    usedRows_ = std::max(0, usedRows_ - kDiscardRows);
    const int pixels = kDiscardRows * lineHeight_;
    contentHeight_ = std::max(0, contentHeight_ - pixels);
    setScroll(scrollX_, scrollY_ - pixels);
    if (!dirtyEmpty_) {
        dirtyMinRow_ = std::max(0, dirtyMinRow_ - kDiscardRows);
        dirtyMaxRow_ = std::max(0, dirtyMaxRow_ - kDiscardRows);
    }
}

void TerminalScreen::write(const char* text)
{
    write(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

void TerminalScreen::write(const uint8_t* bytes, size_t length)
{
    invalid_ = {};
    if (!initialised_)
        return;
    dirtyEmpty_ = true;
    // With the scroll lock on, what arrives is kept but the view stays where the user put it.
    if (userScrolled_ && !scrollLock_) {
        setScroll(savedScrollX_, savedScrollY_);
        userScrolled_ = false;
    }
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = bytes[i];
        if (inEscape_) {
            escapeText_[escapeLength_++] = byte;
            if (kFinals.isFinal[byte]) {
                interpretEscape();
                inEscape_ = false;
            } else if (escapeLength_ >= kEscapeCapacity) {
                // Not a sequence we know: show what was collected, as it came.
                inEscape_ = false;
                for (int k = 0; k < escapeLength_; ++k)
                    printable(escapeText_[k]);
            }
            continue;
        }
        if (byte >= 0x20 && byte <= 0x7E) {
            size_t end = i + 1;
            while (end < length && bytes[end] >= 0x20 && bytes[end] <= 0x7E)
                ++end;
            printableRun(bytes + i, end - i);
            i = end - 1;
            continue;
        }
        switch (byte) {
        case 0x08:
            startDirty();
            if (cursor_ > 0)
                --cursor_;
            {
                int index = cursor_ + ringStart_;
                if (index >= cellCount_)
                    index -= cellCount_;
                cells_[static_cast<size_t>(index)] = ' ';
            }
            widenDirty();
            break;
        case 0x0A:
            cursor_ += columns_;
            overflowCheck();
            updateScrollRanges();
            placeCaret(true);
            break;
        case 0x0D:
            cursor_ -= cursor_ % columns_;
            break;
        case 0x1B:
            inEscape_ = true;
            escapeLength_ = 0;
            break;
        default:
            break; // other control codes and bytes above 0x7E leave no trace
        }
    }
    if (!dirtyEmpty_)
        usedRows_ = std::max(usedRows_, dirtyMaxRow_ + 1);
    updateScrollRanges();
    if (!dirtyEmpty_) {
        PixelRect r;
        r.left = std::max(0, (dirtyMinCol_ - 1) * charWidth_ - scrollX_);
        r.top = std::max(0, (dirtyMinRow_ - 1) * lineHeight_ - scrollY_);
        r.right = std::min(viewWidth_, (dirtyMaxCol_ + 1) * charWidth_ - scrollX_);
        r.bottom = std::min(viewHeight_, (dirtyMaxRow_ + 1) * lineHeight_ - scrollY_);
        if (!r.empty())
            invalid_ = r;
    }
    placeCaret(true);
}

void TerminalScreen::interpretEscape()
{
    const uint8_t final = escapeText_[escapeLength_ - 1];
    if (final != 'H' && final != 'f')
        return;
    // Parameters lie between the introducer (normally "[") and the final character; "ESC H"
    // alone has none.
    int numbers[2] = {0, 0};
    int found = 0;
    if (escapeLength_ >= 2) {
        const uint8_t* p = escapeText_ + 1;
        const int length = escapeLength_ - 2;
        int start = 0;
        for (int i = 0; i <= length && found < 2; ++i) {
            if (i == length || p[i] == ';') {
                numbers[found++] = parseNumber(p + start, i - start);
                start = i + 1;
            }
        }
    }
    const int row = numbers[0];
    const int column = numbers[1];
    // Positions count in the screen the controller paints, the last kScreenRows rows in use,
    // whatever part of it the view shows: a short or scrolled window must not move the fields.
    const int screenTop = std::max(0, usedRows() - kScreenRows);
    const int targetColumn = std::clamp(column - 1, 0, columns_ - 1);
    const int targetRow = std::clamp(row - 1 + screenTop, 0, rows_ - 1);
    cursor_ = targetColumn + targetRow * columns_;
    overflowCheck();
}

int TerminalScreen::usedRows() const
{
    return std::max(usedRows_, columns_ ? cursor_ / columns_ + 1 : 0);
}

void TerminalScreen::updateScrollRanges()
{
    usedRows_ = std::max(usedRows_, cursor_ / columns_ + 1);
    const int x = (cursor_ % columns_) * charWidth_;
    const int y = (cursor_ / columns_) * lineHeight_;
    contentWidth_ = std::max(contentWidth_, x + charWidth_);
    contentHeight_ = std::max(contentHeight_, y + lineHeight_);
    int newX = scrollX_, newY = scrollY_;
    if (contentWidth_ < viewWidth_)
        newX = 0;
    if (contentHeight_ < viewHeight_)
        newY = 0;
    setScroll(newX, newY);
}

int TerminalScreen::verticalMaximum() const
{
    return std::max({0, contentHeight_ - viewHeight_, scrollY_});
}

int TerminalScreen::horizontalMaximum() const
{
    return std::max({0, contentWidth_ - viewWidth_, scrollX_});
}

void TerminalScreen::placeCaret(bool autoScroll)
{
    if (!autoScroll || scrollLock_ || !initialised_)
        return;
    const int x = (cursor_ % columns_) * charWidth_;
    const int y = (cursor_ / columns_) * lineHeight_;
    int newX = scrollX_, newY = scrollY_;
    if (x < scrollX_) {
        int delta = x - scrollX_;
        delta -= delta % cw();
        newX = std::max(0, scrollX_ + delta);
    } else if (x > scrollX_ + viewWidth_) {
        int delta = x - scrollX_ - viewWidth_;
        delta -= delta % cw();
        newX = scrollX_ + std::min(delta, contentWidth_);
    }
    if (y < scrollY_) {
        int delta = y - scrollY_;
        delta -= delta % lh();
        newY = std::max(0, scrollY_ + delta);
    } else if (y + lineHeight_ > scrollY_ + viewHeight_) {
        int d = y + lineHeight_ - scrollY_ - viewHeight_;
        d = d + lh() - d % lh();
        newY = scrollY_ + std::min(d, contentHeight_);
    }
    setScroll(newX, newY);
}

PixelRect TerminalScreen::caretRect() const
{
    const int x = (cursor_ % std::max(1, columns_)) * charWidth_ - scrollX_;
    const int y = (cursor_ / std::max(1, columns_)) * lineHeight_ + charHeight_ - scrollY_;
    return {x, y, x + charWidth_, y + 2};
}

bool TerminalScreen::verticalScroll(ScrollCode code, int position)
{
    if (!initialised_)
        return false;
    startUserScroll();
    const int pageHeight = (viewHeight_ / lh()) * lineHeight_;
    // The thumb moves by whole lines, a part line downwards counting as one more.
    int thumbMove = 0;
    if (code == ScrollCode::ThumbTrack) {
        const int distance = position - scrollY_;
        thumbMove = distance - distance % lh() + (distance > 0 ? lineHeight_ : 0);
    }
    const int move = scrollMove(code, lineHeight_, pageHeight, thumbMove);
    const int limit = std::max({0, contentHeight_ - pageHeight});
    const int before = scrollY_;
    setScroll(scrollX_, scrollTarget(scrollY_, move, limit));
    return scrollY_ != before;
}

bool TerminalScreen::horizontalScroll(ScrollCode code, int position)
{
    if (!initialised_)
        return false;
    startUserScroll();
    int move =
        scrollMove(code, charWidth_, viewWidth_, code == ScrollCode::ThumbTrack ? position - scrollX_ : 0);
    move -= move % cw();
    const int limit = std::max(0, contentWidth_ - viewWidth_ / 2);
    const int before = scrollX_;
    setScroll(scrollTarget(scrollX_, move, limit), scrollY_);
    return scrollX_ != before;
}

// The first scroll the user makes keeps where the view stood, so it can be restored later.
void TerminalScreen::startUserScroll()
{
    if (!userScrolled_) {
        savedScrollX_ = scrollX_;
        savedScrollY_ = scrollY_;
    }
    userScrolled_ = true;
}

} // namespace termcore
