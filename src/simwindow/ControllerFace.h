#pragma once
// The controller's face as the simulator window shows it: the power switch, MODE and START, the
// five direction buttons (held while pressed), the AUX LED and the remote control's pad. Every
// button says what it does as a control-channel command (the vocabulary kz7sim's FIFO takes),
// handed to the sink.

#include "simwindow_core/SimSnapshot.h"

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace simwindow {

class ControllerFace : public QWidget {
    Q_OBJECT
  public:
    using Sink = std::function<void(const std::string&)>;
    ControllerFace(Sink sink, QWidget* parent = nullptr);

    // Shows the power and the AUX LED as the controller has them.
    void showState(const SimSnapshot& state);

    QPushButton* button(const QString& name) const;

  private:
    QPushButton* addButton(const QString& name, const QString& text);
    Sink sink_;
    QPushButton* power_ = nullptr;
    QLabel* led_ = nullptr;
    int remoteBits_ = 0;
};

} // namespace simwindow
