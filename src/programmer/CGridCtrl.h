#pragma once
// The program grid: a table view over GridModel with the fixed column widths and row heights,
// the merged line-number, label and comment areas, and the mouse and key events the editor view
// turns into actions. Only the rows on screen are painted.

#include "programmer/GridLayout.h"

#include <QTableView>

namespace programmer {

class GridModel;

class CGridCtrl : public QTableView {
    Q_OBJECT
  public:
    explicit CGridCtrl(QWidget* parent = nullptr);
    void setGridModel(GridModel* model);
    GridModel* gridModel() const { return model_; }

    GridTarget targetAtPoint(const QPoint& viewportPos) const;
    GridTarget currentTarget() const;
    // Moves the highlight to a target.
    void setCurrentTarget(const GridTarget& t);
    // The viewport rectangle of a target's area (merged areas whole).
    QRect targetRect(const GridTarget& t) const;
    // Lines first .. first + n - 1 got rows: heights and merges.
    void formatLines(int first, int n);
    // The scale of columns, rows, text and pictures, in percent.
    void setZoom(int percent);
    int zoom() const { return zoom_; }
    int scaled(int pixels) const { return pixels * zoom_ / 100; }

  signals:
    void targetClicked(const GridTarget& t, bool shift);
    void targetActivated(const GridTarget& t); // double-click, or Enter
    void targetRightReleased(const GridTarget& t, const QPoint& globalPos);
    void deletePressed();
    // Shift+Up/Down (extend the line selection) and Alt+Up/Down (move the selected lines).
    void selectLinesKey(int delta);
    void moveLinesKey(int delta);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    GridModel* model_ = nullptr;
    int zoom_ = 100;
};

} // namespace programmer
