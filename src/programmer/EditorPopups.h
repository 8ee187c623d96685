#pragma once
// The small windows the editor view places over a grid cell: the icon choice list, the in-place
// text box and the two check-box pads. Each hides itself when the focus leaves it.

#include "behaviour/CommandCatalogue.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QWidget>

#include <vector>

namespace programmer {

// A single-selection list of catalogue entries (with their icons where they have one).
class ChoiceList : public QListWidget {
    Q_OBJECT
  public:
    explicit ChoiceList(QWidget* parent);
    // The list opens on the item of catalogue entry `current` (the cell's value), else on the first.
    void fill(const std::vector<behaviour::ChoiceItem>& items, bool withIcons, int current);
    const std::vector<behaviour::ChoiceItem>& items() const { return items_; }
    // Chooses the item at `row` as a click would.
    void choose(int row);

  signals:
    void chosen(const behaviour::ChoiceItem& item);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    std::vector<behaviour::ChoiceItem> items_;
};

// Enter stores, Esc or losing the focus closes without storing.
class InPlaceTextBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit InPlaceTextBox(QWidget* parent);

  signals:
    void accepted(const QString& text);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
};

// A window of check boxes each carrying one bit (or none); when the focus leaves it (not to one
// of its boxes) it hides and reports the bits.
class BitPad : public QWidget {
    Q_OBJECT
  public:
    struct Box {
        int x, y;
        int bit;                    // 0: a box without a bit
        const char* name = nullptr; // shown beside the box
    };
    BitPad(QWidget* parent, const std::vector<Box>& boxes, QSize size);
    ~BitPad() override;
    void showBits(int bits, const QPoint& at);
    int bits() const { return bits_; }
    QCheckBox* boxForBit(int bit) const;
    // Hides the pad and reports its bits, as losing the focus does.
    void close();

  signals:
    void closed(int bits);

  private:
    void focusChanged(QWidget* old, QWidget* now);
    std::vector<std::pair<QCheckBox*, int>> boxes_;
    int bits_ = 0;
};

// Five boxes, each named beside it: U (8), D (4), L (2), R (1), S (16).
BitPad* makeButtonPad(QWidget* parent);
// Two crosses of six boxes, six of them carrying bits 1..32.
BitPad* makeRemoconPad(QWidget* parent);

} // namespace programmer
