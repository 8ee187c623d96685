#include "simwindow/ControllerFace.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace simwindow {

namespace {

// The direction buttons on the controller: name (as the control channel calls it), place.
struct PadKey {
    const char* name;
    const char* text;
    int row, column;
};
constexpr PadKey kDirectionKeys[] = {
    {"U", "U", 0, 1}, {"L", "L", 1, 0}, {"S", "S", 1, 1}, {"R", "R", 1, 2}, {"D", "D", 2, 1},
};

// The remote control's two crosses and the bit each button sets in "RX remocon data".
struct RemoteKey {
    const char* text;
    int bit;
    int row, column;
};
constexpr RemoteKey kRemoteKeys[] = {
    {"U", 1, 0, 1}, {"L", 4, 1, 0}, {"R", 8, 1, 2}, {"D", 2, 2, 1}, {"U", 16, 0, 4}, {"D", 32, 2, 4},
};

QString ledStyle(bool on)
{
    return QStringLiteral("border-radius: 9px; border: 1px solid #444; background: %1;")
        .arg(on ? QStringLiteral("#ff3b30") : QStringLiteral("#5a2a28"));
}

} // namespace

ControllerFace::ControllerFace(Sink sink, QWidget* parent) : QWidget(parent), sink_(std::move(sink))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* top = new QGroupBox(tr("Controller"), this);
    auto* grid = new QGridLayout(top);
    power_ = new QPushButton(tr("Power"), top);
    power_->setObjectName("Power");
    power_->setCheckable(true);
    // The switch stays where the user put it; the controller follows it.
    connect(power_, &QPushButton::toggled, this, [this](bool on) { sink_(on ? "power on" : "power off"); });
    grid->addWidget(power_, 0, 0, 1, 2);
    led_ = new QLabel(top);
    led_->setFixedSize(18, 18);
    led_->setStyleSheet(ledStyle(false));
    grid->addWidget(new QLabel(tr("AUX"), top), 0, 2, Qt::AlignRight);
    grid->addWidget(led_, 0, 3);
    QPushButton* mode = addButton("MODE", tr("MODE"));
    connect(mode, &QPushButton::pressed, this, [this] { sink_("press MODE"); });
    grid->addWidget(mode, 1, 0, 1, 2);
    QPushButton* start = addButton("START", tr("START"));
    // Held in the running state (a program reads it as S), a press elsewhere.
    connect(start, &QPushButton::pressed, this, [this] { sink_("press START"); });
    connect(start, &QPushButton::released, this, [this] { sink_("release START"); });
    grid->addWidget(start, 1, 2, 1, 2);
    layout->addWidget(top);

    auto* pad = new QGroupBox(tr("Buttons"), this);
    auto* padGrid = new QGridLayout(pad);
    for (const PadKey& k : kDirectionKeys) {
        QPushButton* b = addButton(k.name, k.text);
        const std::string name = k.name;
        connect(b, &QPushButton::pressed, this, [this, name] { sink_("press " + name); });
        connect(b, &QPushButton::released, this, [this, name] { sink_("release " + name); });
        padGrid->addWidget(b, k.row, k.column);
    }
    layout->addWidget(pad);

    auto* remote = new QGroupBox(tr("Remote control"), this);
    auto* remoteGrid = new QGridLayout(remote);
    for (const RemoteKey& k : kRemoteKeys) {
        auto* b = new QPushButton(k.text, remote);
        b->setObjectName(QStringLiteral("Remote%1").arg(k.bit));
        b->setFixedWidth(36);
        const int bit = k.bit;
        // What the remote sends is the set of its buttons held, again at every change.
        connect(b, &QPushButton::pressed, this, [this, bit] {
            remoteBits_ |= bit;
            sink_("remocon " + std::to_string(remoteBits_));
        });
        connect(b, &QPushButton::released, this, [this, bit] {
            remoteBits_ &= ~bit;
            sink_("remocon " + std::to_string(remoteBits_));
        });
        remoteGrid->addWidget(b, k.row, k.column);
    }
    remoteGrid->setColumnMinimumWidth(3, 16);
    layout->addWidget(remote);
}

QPushButton* ControllerFace::addButton(const QString& name, const QString& text)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setMinimumWidth(36);
    return b;
}

QPushButton* ControllerFace::button(const QString& name) const
{
    return findChild<QPushButton*>(name);
}

void ControllerFace::showState(const SimSnapshot& state)
{
    if (power_->isChecked() != state.powered()) {
        const QSignalBlocker quiet(power_);
        power_->setChecked(state.powered());
    }
    power_->setText(state.powered() ? tr("Power: on") : tr("Power: off"));
    led_->setStyleSheet(ledStyle(state.auxLed != 0));
}

} // namespace simwindow
