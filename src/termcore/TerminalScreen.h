#pragma once
// The terminal's text model: an 80 x 1200 scroll-back kept in a ring of one-byte cells, the
// cursor, the escape-sequence collector, and the view geometry in pixels (scroll position,
// content extent, dirty rectangle, caret). It draws nothing: the view reads the cells and the
// rectangles it reports and paints them with the font whose metrics it handed over.
//
// Failure in this library: a conversion or file operation returns a result with a code (ok());
// a value that cannot be parsed is an empty std::optional.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace termcore {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0; // right/bottom exclusive
    bool empty() const { return right <= left || bottom <= top; }
};

struct FontMetrics {
    int charWidth = 0;  // average character width
    int charHeight = 0; // character height; also the line height
};

// Scroll bar requests, as a scroll bar reports them.
enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Other };

class TerminalScreen {
  public:
    static constexpr int kEscapeCapacity = 11;
    static constexpr int kDiscardRows = 200;
    // Rows of the screen a controller paints with cursor positioning (it is 80 x 36).
    static constexpr int kScreenRows = 36;

    // Fails when already created, when columns <= 30 or rows <= 400.
    bool create(int columns, int rows, FontMetrics metrics, int viewWidth, int viewHeight);
    void destroy();
    bool initialised() const { return initialised_; }

    // Interprets received bytes; afterwards invalidRect() holds the touched region and the scroll
    // position and caret may have moved.
    void write(const uint8_t* bytes, size_t length);
    void write(const char* text);
    void clear();

    void setMetrics(FontMetrics metrics);
    void setViewSize(int width, int height);
    // While on, received bytes never move the view; hand scrolling still does.
    void setScrollLock(bool on);
    bool scrollLock() const { return scrollLock_; }

    // Hand scrolling (scroll bars and wheel). Returns true when the position changed.
    bool verticalScroll(ScrollCode code, int position = 0);
    bool horizontalScroll(ScrollCode code, int position = 0);
    bool wheel(int delta) { return verticalScroll(delta > 0 ? ScrollCode::LineUp : ScrollCode::LineDown); }

    // Cells and cursor.
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int cursor() const { return cursor_; }
    int cursorColumn() const { return columns_ ? cursor_ % columns_ : 0; }
    int cursorRow() const { return columns_ ? cursor_ / columns_ : 0; }
    uint8_t cell(int column, int row) const;
    // The cells of one logical row (columns() bytes, contiguous because the ring start is always
    // a whole number of rows).
    const uint8_t* rowData(int row) const;
    int ringStart() const { return ringStart_; }
    // Rows dropped off the top since the last clear(): logical row r is absolute row
    // r + discardedRows(), which stays put while the scroll-back moves on.
    int64_t discardedRows() const { return discardedRows_; }
    // Rows that hold anything: the furthest row the cursor has reached, plus one.
    int usedRows() const;

    // Geometry in pixels.
    FontMetrics metrics() const { return {charWidth_, charHeight_}; }
    int lineHeight() const { return lineHeight_; }
    int scrollX() const { return scrollX_; }
    int scrollY() const { return scrollY_; }
    int contentWidth() const { return contentWidth_; }
    int contentHeight() const { return contentHeight_; }
    int viewWidth() const { return viewWidth_; }
    int viewHeight() const { return viewHeight_; }
    bool userScrolled() const { return userScrolled_; }
    // Largest scroll positions a scroll bar may offer (never below the current position, never
    // negative), and the page sizes.
    int verticalMaximum() const;
    int horizontalMaximum() const;

    // After write(): the view region to repaint (empty when no cell was touched).
    PixelRect invalidRect() const { return invalid_; }
    // The caret: one cell wide, 2 pixels high, below the cursor cell, in view coordinates.
    PixelRect caretRect() const;
    // Counts every change of the scroll position; a view compares it to know when to shift.
    uint64_t scrollGeneration() const { return scrollGeneration_; }

    bool inEscape() const { return inEscape_; }

  private:
    void printable(uint8_t byte);
    void printableRun(const uint8_t* bytes, size_t count);
    void widenDirtyAt(int cell);
    void startDirty();
    void widenDirty();
    void overflowCheck();
    void interpretEscape();
    void updateScrollRanges();
    void placeCaret(bool autoScroll);
    void setScroll(int x, int y);
    void startUserScroll();
    int cw() const { return charWidth_ > 0 ? charWidth_ : 1; }
    int lh() const { return lineHeight_ > 0 ? lineHeight_ : 1; }

    std::vector<uint8_t> cells_;
    int columns_ = 0, rows_ = 0, cellCount_ = 0;
    int ringStart_ = 0;
    int cursor_ = 0;
    int charWidth_ = 0, charHeight_ = 0, lineHeight_ = 0;
    int viewWidth_ = 0, viewHeight_ = 0;
    int dirtyMinCol_ = 0, dirtyMinRow_ = 0, dirtyMaxCol_ = 0, dirtyMaxRow_ = 0;
    bool dirtyEmpty_ = true;
    int scrollX_ = 0, scrollY_ = 0;
    int savedScrollX_ = 0, savedScrollY_ = 0;
    bool userScrolled_ = false;
    bool scrollLock_ = false;
    int contentWidth_ = 0, contentHeight_ = 0;
    bool inEscape_ = false;
    uint8_t escapeText_[kEscapeCapacity + 1] = {};
    int escapeLength_ = 0;
    bool initialised_ = false;
    PixelRect invalid_;
    uint64_t scrollGeneration_ = 0;
    int64_t discardedRows_ = 0;
    int usedRows_ = 0;
};

} // namespace termcore
