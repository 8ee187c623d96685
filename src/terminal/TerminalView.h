#pragma once
// The terminal's view: paints the cells of a TerminalScreen through an off-screen pixmap, only
// where something changed, with both scroll bars and an underline caret. Keyboard focus stays
// with the main window; the view only shows.

#include "termcore/TerminalScreen.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>

namespace terminal {

// The font the terminal asks for ("Fixedsys", 10 x 16, weight 500) or, where that face is
// missing, the system's fixed-pitch font at about the same cell size.
QFont chooseTerminalFont();

class TerminalView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kMargin = 4;

    TerminalView(termcore::TerminalScreen& screen, const QFont& font, int visibleColumns, int visibleRows,
                 QWidget* parent = nullptr);

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
    bool caretVisible() const { return caretVisible_; }
    void wheelLines(int delta);

    termcore::TerminalScreen& screen() { return screen_; }
    termcore::FontMetrics metrics() const { return metrics_; }
    QSize viewportSizeHint() const { return viewportSize_; }
    // Paints the cells that cover rect (view coordinates) onto painter, through an off-screen
    // pixmap; what paintEvent does, public for the repaint benchmark.
    void paintRegion(QPainter& painter, const QRect& rect);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void syncScrollBars();
    void onVerticalAction(int action);
    void onHorizontalAction(int action);
    QRect caretRect() const;

    termcore::TerminalScreen& screen_;
    QFont font_;
    termcore::FontMetrics metrics_;
    int ascent_ = 0;
    QSize viewportSize_;
    QColor background_{255, 255, 255};
    QColor text_{0, 0, 0};
    bool caretVisible_ = false;
    bool syncing_ = false;
    QRect shownCaret_;
};

} // namespace terminal
