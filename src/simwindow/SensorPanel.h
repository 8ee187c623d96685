#pragma once
// One slider per register a program can read from each sensor module on the bus; moving one
// sets the module's register ("sensor ID ADDRESS VALUE" on the control channel).

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QSlider;

namespace simwindow {

class SensorPanel : public QWidget {
    Q_OBJECT
  public:
    using Sink = std::function<void(const std::string&)>;
    // modules: the sensor module IDs on the bus, in order.
    SensorPanel(const std::vector<int>& modules, Sink sink, QWidget* parent = nullptr);

    // The slider of a module's register, null when there is none.
    QSlider* slider(int module, int address) const;

  private:
    Sink sink_;
};

} // namespace simwindow
