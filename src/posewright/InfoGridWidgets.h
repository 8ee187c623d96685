#pragma once
// The page grid (9 x 2: captions and the page information) and the pose grid (2 x 14: each
// pose's speed and pause). Each paints its model, opens its editor over a double-clicked cell
// and reports the grid codes 200..203.

#include "posewright_core/InfoGrids.h"

#include <QTableWidget>

class QLineEdit;

namespace posewright {

class ValueControl;

class PageGridWidget : public QTableWidget {
    Q_OBJECT
  public:
    PageGridWidget(PageGrid& grid, int controlId, QWidget* parent = nullptr);
    void sync(bool offsetPage);
    QLineEdit* nameEditor() const { return name_; }
    ValueControl* valueEditor() const { return value_; }

  signals:
    void notify(int controlId, int code);

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void raise(int code);
    void placeEditor();

    PageGrid& grid_;
    int id_;
    bool offsetPage_ = false;
    QLineEdit* name_;
    ValueControl* value_;
    int shownWrites_ = -1; // the model's editorWrites() last shown
};

class PoseGridWidget : public QTableWidget {
    Q_OBJECT
  public:
    PoseGridWidget(PoseGrid& grid, int controlId, QWidget* parent = nullptr);
    void sync();
    ValueControl* valueEditor() const { return value_; }

  signals:
    void notify(int controlId, int code);

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void raise(int code);

    PoseGrid& grid_;
    int id_;
    ValueControl* value_;
    int shownWrites_ = -1; // the model's editorWrites() last shown
};

} // namespace posewright
