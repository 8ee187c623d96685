#pragma once
// The find bar under the terminal: a field, Previous / Next, the count and Close. It searches
// the view's scroll-back and marks the matches there. The field takes the keys only when the
// bar is opened to take them or clicked; Escape in it closes the bar.

#include <QWidget>

class QLabel;
class QLineEdit;

namespace terminal {

class TerminalView;

class FindBar : public QWidget {
    Q_OBJECT
  public:
    FindBar(TerminalView& view, QWidget* parent = nullptr);

    // Shows the bar with text (or the first line of the view's selection); with takeFocus the
    // field gets the keys.
    void open(const QString& text, bool takeFocus);
    void close();
    // The next (or previous) match, wrapping round; opens the bar first when it is hidden.
    void step(bool forward);
    // The screen was cleared: the count no longer holds.
    void screenCleared();
    QLineEdit* edit() const { return edit_; }
    QString status() const;

  signals:
    // The bar closed: the terminal takes the keys again.
    void closed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TerminalView& view_;
    QLineEdit* edit_ = nullptr;
    QLabel* label_ = nullptr;
};

} // namespace terminal
