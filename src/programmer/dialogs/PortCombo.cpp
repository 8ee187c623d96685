#include "programmer/dialogs/PortCombo.h"

#include "platform/PortMap.h"

namespace programmer {

PortCombo::PortCombo(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Room for a short description ("COM5 - KZ-7 Simulator") beside the name.
    setMinimumContentsLength(22);
}

void PortCombo::refill(int savedPort)
{
    QStringList names, descriptions;
    for (const platform::PortEntry& entry : platform::portMap()) {
        if (!entry.exists || names.size() >= kMaxPorts)
            continue;
        names << QString::fromStdString(entry.name);
        descriptions << QString::fromStdString(entry.description);
    }
    fill(names, savedPort, descriptions);
}

void PortCombo::fill(const QStringList& names, int savedPort, const QStringList& descriptions)
{
    clear();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString about = i < descriptions.size() ? descriptions[i] : QString();
        addItem(about.isEmpty() ? names[i] : names[i] + QStringLiteral(" - ") + about, names[i]);
    }
    // The whole name must match: a saved COM1 must not pick COM12 when COM1 is gone.
    const int saved = names.indexOf(QStringLiteral("COM%1").arg(savedPort));
    setCurrentIndex(saved >= 0 ? saved : (names.isEmpty() ? -1 : 0));
}

void PortCombo::showPopup()
{
    // The choice stays when its port is still there; else the saved rule picks the first.
    refill(portNumber(selectedPort()));
    QComboBox::showPopup();
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
