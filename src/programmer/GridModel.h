#pragma once
// The program grid's model: every grid cell's text, picture, colours, alignment and tool tip are
// computed from the program when the view asks for them, so the cost follows what is on screen.

#include "programmer/GridLayout.h"

#include "behaviour/BehaviorProgram.h"

#include <QAbstractTableModel>
#include <QColor>

namespace programmer {

namespace GridColour {
inline const QColor LinePlain{128, 128, 128};
inline const QColor LineEdited{216, 178, 216};
inline const QColor LineCurrent{255, 255, 255};
inline const QColor LineDisabled{0, 153, 0};
inline const QColor LineSelected{80, 61, 223};
inline const QColor CellUnused{128, 128, 128};
inline const QColor CellInUse{255, 255, 255};
inline const QColor CellError{255, 0, 0};
inline const QColor TextError{0, 255, 255};
} // namespace GridColour

// Line-area background for the line flags: plain, edited, current, disabled, selected, a later
// match winning.
QColor lineBackground(uint16_t lineFlags);

class GridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit GridModel(const behaviour::BehaviorProgram& program, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int lineCount() const { return lines_; }
    const behaviour::BehaviorProgram& program() const { return program_; }
    // The program's lines first .. first + n - 1 changed and its count went from the model's to
    // the program's: rows are added or removed at the end, the changed lines repainted.
    void linesChanged(int first, int n);
    // Everything may have changed (a new program, a paste).
    void rebuild();

  private:
    const behaviour::BehaviorProgram& program_;
    int lines_;
};

} // namespace programmer
