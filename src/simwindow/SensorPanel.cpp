#include "simwindow/SensorPanel.h"

#include "behaviour/CommandCatalogue.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace simwindow {

namespace {
// A sensor's readings are bytes (an IR or light level, a flag, a count).
constexpr int kSensorMaximum = 255;
} // namespace

SensorPanel::SensorPanel(const std::vector<int>& modules, Sink sink, QWidget* parent)
    : QWidget(parent), sink_(std::move(sink))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const behaviour::CommandCatalogue& catalogue = behaviour::CommandCatalogue::instance();
    // The registers are the ones the program editor offers for reading a sensor module.
    const std::vector<int> registers =
        behaviour::CommandCatalogue::registerList(behaviour::DeviceKind::Sensor, behaviour::Direction::Read);
    for (int module : modules) {
        auto* box = new QGroupBox(tr("Sensor module %1").arg(module), this);
        auto* form = new QFormLayout(box);
        form->setContentsMargins(6, 4, 6, 4);
        form->setVerticalSpacing(2);
        for (int entry : registers) {
            const int address = catalogue.code(entry);
            if (address < 0)
                continue;
            auto* row = new QWidget(box);
            auto* rowLayout = new QHBoxLayout(row);
            rowLayout->setContentsMargins(0, 0, 0, 0);
            auto* slider = new QSlider(Qt::Horizontal, row);
            slider->setObjectName(QStringLiteral("Sensor%1_%2").arg(module).arg(address));
            slider->setRange(0, kSensorMaximum);
            auto* value = new QLabel(QStringLiteral("0"), row);
            value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            rowLayout->addWidget(slider, 1);
            rowLayout->addWidget(value);
            connect(slider, &QSlider::valueChanged, this, [this, module, address, value](int v) {
                value->setNum(v);
                sink_("sensor " + std::to_string(module) + " " + std::to_string(address) + " " +
                      std::to_string(v));
            });
            form->addRow(QString::fromStdString(catalogue.name(entry)), row);
        }
        layout->addWidget(box);
    }
    layout->addStretch(1);
}

QSlider* SensorPanel::slider(int module, int address) const
{
    return findChild<QSlider*>(QStringLiteral("Sensor%1_%2").arg(module).arg(address));
}

} // namespace simwindow
