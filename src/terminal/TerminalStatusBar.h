#pragma once
// The terminal's two-part status bar. Part 0 shows the transfer or the latest file, with the
// scroll lock and the device behind the port at its right end; part 1 the connection. The
// parts' right edges stay at 5/6 and 6/6 of the window's width.

#include <QStatusBar>

class QLabel;

namespace terminal {

class TerminalStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit TerminalStatusBar(QWidget* parent = nullptr);

    void setTexts(const std::string& file, const std::string& device, const std::string& connection);
    void setScrollLock(bool on);
    // Places the parts' edges for a window of this width.
    void layoutFor(int windowWidth);
    QString text(int part) const;
    QString deviceText() const;
    // The parts follow the window's width; they never hold the window wide.
    QSize minimumSizeHint() const override;

  private:
    QWidget* first_ = nullptr;
    QLabel* parts_[2] = {nullptr, nullptr};
    QLabel* scrollLock_ = nullptr;
    QLabel* device_ = nullptr;
};

} // namespace terminal
