#include "terminal/SerialSetupDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace terminal {

const std::vector<int>& SerialSetupDialog::rates()
{
    static const std::vector<int> list{2400,   4800,   9600,   19200,  38400,  57600,   115200,
                                       125000, 200000, 250000, 400000, 500000, 1000000, 2000000};
    return list;
}

SerialSetupDialog::SerialSetupDialog(const std::vector<std::string>& ports, const std::string& savedPort,
                                     int savedRate, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Serial setup"));
    ports_ = new QComboBox(this);
    for (const auto& name : ports)
        ports_->addItem(QString::fromStdString(name));
    const int portIndex = ports_->findText(QString::fromStdString(savedPort));
    ports_->setCurrentIndex(portIndex >= 0 ? portIndex : 0);

    rates_ = new QComboBox(this);
    for (int rate : rates())
        rates_->addItem(QString::number(rate));
    int rateIndex = rates_->findText(QString::number(savedRate));
    if (rateIndex < 0)
        rateIndex = rates_->findText(QStringLiteral("57600"));
    rates_->setCurrentIndex(rateIndex);

    connect_ = new QPushButton(QStringLiteral("Connect"), this);
    connect_->setDefault(true);
    // With no port to offer there is nothing to connect to.
    connect_->setEnabled(ports_->count() > 0);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    QObject::connect(connect_, &QPushButton::clicked, this, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Port :"), this), 0, 0);
    grid->addWidget(ports_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Baudrate :"), this), 1, 0);
    grid->addWidget(rates_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("bps"), this), 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(connect_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 3);
}

std::string SerialSetupDialog::selectedPort() const
{
    return ports_->currentText().toStdString();
}

int SerialSetupDialog::selectedRate() const
{
    return rates_->currentText().toInt();
}

} // namespace terminal
