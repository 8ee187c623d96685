#pragma once
// The terminal's view: paints the cells of a TerminalScreen through an off-screen pixmap, only
// where something changed, with both scroll bars and an underline caret. Keyboard focus stays
// with the main window; the view shows, and takes the mouse: a drag selects cells (scrolling
// while the pointer is held beyond an edge), a double click a word, a triple click a line.
// Find matches are highlighted, the current one strongest. The view fills whatever size it is
// given; columns and rows beyond the model stay blank.

#include "termcore/ScreenText.h"
#include "termcore/TerminalScreen.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QTimer>

#include <optional>
#include <string>

namespace terminal {

// The font the terminal asks for ("Fixedsys", 10 x 16, weight 500) or, where that face is
// missing, the system's fixed-pitch font at about the same cell size; with pixelSize, that
// face at that size (View / Larger, Smaller).
QFont chooseTerminalFont(int pixelSize = 0);

class TerminalView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kMargin = 4;

    TerminalView(termcore::TerminalScreen& screen, const QFont& font, int visibleColumns, int visibleRows,
                 QWidget* parent = nullptr);

    // A larger or smaller font: the cells, the scroll positions and the size asked for follow.
    // Returns how much the view must grow to show the cells it shows now.
    QSize setTerminalFont(const QFont& font);
    // Whole cells the view shows now.
    QSize visibleCells() const;
    const QFont& terminalFont() const { return font_; }
    // Creates the screen model with the metrics of the font actually used; false on failure.
    bool createScreen(int columns, int rows);

    // Hands received bytes to the screen and repaints what they touched.
    void write(const uint8_t* bytes, size_t length);
    void clear();
    void setBackground(QColor colour);
    void setTextColour(QColor colour);
    QColor background() const { return background_; }
    QColor textColour() const { return text_; }
    void setCaretVisible(bool visible);
    void wheelLines(int delta);
    // A page up or down through the history, as the scroll bar's page step does.
    void scrollPage(bool up);

    // The selection and what it copies; the selection changes are announced.
    const termcore::TextSelection& selection() const { return selection_; }
    std::string selectedText() const { return selection_.text(screen_); }
    void clearSelection();
    // The cell under a point in view coordinates (clamped to the model).
    QPoint cellAt(const QPoint& point) const;

    // Highlights every match of needle (empty: none) and marks current, scrolled into view.
    void setFindText(const std::string& needle);
    void setCurrentMatch(std::optional<termcore::TextMatch> match);
    const std::optional<termcore::TextMatch>& currentMatch() const { return current_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    termcore::TerminalScreen& screen() { return screen_; }
    termcore::FontMetrics metrics() const { return metrics_; }
    QSize viewportSizeHint() const { return viewportSize_; }
    // Paints the cells that cover rect (view coordinates) onto painter, through an off-screen
    // pixmap; what paintEvent does, public for the repaint benchmark.
    void paintRegion(QPainter& painter, const QRect& rect);

  signals:
    void selectionChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void useFont(const QFont& font);
    void syncScrollBars();
    void onVerticalAction(int action);
    void onHorizontalAction(int action);
    QRect caretRect() const;
    QChar glyphFor(uint8_t byte) const;
    void paintHighlights(QPainter& p, int row, int firstCol, int lastCol, int x0, int y,
                         const std::vector<termcore::TextMatch>& matches);
    void press(const QPoint& point, termcore::SelectUnit unit);
    // Extends the selection to the cell under point (view coordinates).
    void extendTo(const QPoint& point);
    // One step of the drag's scrolling: a line or a column towards the edge the pointer is past.
    void autoScroll();

    termcore::TerminalScreen& screen_;
    QFont font_;
    int visibleColumns_ = 0;
    int visibleRows_ = 0;
    QChar placeholder_;
    termcore::FontMetrics metrics_;
    int ascent_ = 0;
    QSize viewportSize_;
    QColor background_{255, 255, 255};
    QColor text_{0, 0, 0};
    bool caretVisible_ = false;
    bool syncing_ = false;
    QRect shownCaret_;
    termcore::TextSelection selection_;
    bool dragging_ = false;
    QPoint dragAt_;     // where the held pointer last was
    QTimer autoScroll_; // runs while the held pointer is beyond an edge of the view
    bool afterDoubleClick_ = false;
    quint64 doubleClickTime_ = 0;
    QPoint doubleClickAt_;
    std::string findText_;
    std::optional<termcore::TextMatch> current_;
};

} // namespace terminal
