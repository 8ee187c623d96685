#include "programmer/dialogs/PortCombo.h"

#include "link/SerialPort.h"

namespace programmer {

PortCombo::PortCombo(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumContentsLength(8);
}

void PortCombo::refill(int savedPort)
{
    QStringList names;
    for (const std::string& name : comm::SerialPort::enumeratePorts(kMaxPorts))
        names << QString::fromStdString(name);
    fill(names, savedPort);
}

void PortCombo::fill(const QStringList& names, int savedPort)
{
    clear();
    addItems(names);
    // The whole name must match: a saved COM1 must not pick COM12 when COM1 is gone.
    const int saved = names.indexOf(QStringLiteral("COM%1").arg(savedPort));
    setCurrentIndex(saved >= 0 ? saved : (names.isEmpty() ? -1 : 0));
}

int PortCombo::portNumber(const QString& name)
{
    if (!name.startsWith(QLatin1String("COM")))
        return 0;
    const QString digits = name.mid(3);
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || digits.isEmpty() || !digits.front().isDigit() || n < 1 || n > 256)
        return 0;
    return n;
}

} // namespace programmer
