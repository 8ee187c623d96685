#pragma once
// The progress bar of every transfer dialog: the filled part in the bar colour, the rest white,
// and "N%" centred, white over the fill and in the bar colour over the white.

#include <QColor>
#include <QWidget>

namespace programmer {

class PercentBar : public QWidget {
    Q_OBJECT
  public:
    static inline const QColor kBarColour{0, 100, 255};

    explicit PercentBar(QWidget* parent = nullptr);
    int percent() const { return percent_; }
    // Values outside 0..100 are clamped; the bar is repainted at once.
    void setPercent(int percent);
    // The width of the filled part for a client width: width x percent / 100, truncated.
    static int filledWidth(int clientWidth, int percent);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int percent_ = 0;
};

} // namespace programmer
