#include "terminal/SerialSetupDialog.h"

#include "platform/SerialDevice.h"
#include "termcore/TerminalConfig.h"
#include "termcore/TerminalTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

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
        ports_->addItem(QString::fromStdString(name), QString::fromStdString(name));
    const int portIndex = ports_->findData(QString::fromStdString(savedPort));
    ports_->setCurrentIndex(portIndex >= 0 ? portIndex : 0);

    rates_ = new QComboBox(this);
    for (int rate : rates())
        rates_->addItem(QString::number(rate));
    int rateIndex = rates_->findText(QString::number(savedRate));
    const bool typed = rateIndex < 0 && platform::isSettableBaudRate(savedRate);
    if (rateIndex < 0)
        rateIndex = rates_->findText(QStringLiteral("57600"));
    rates_->setCurrentIndex(rateIndex);
    // Any rate the serial layer can set may be typed; the list offers the usual ones.
    rates_->setEditable(true);
    if (typed)
        rates_->setEditText(QString::number(savedRate));
    rates_->setInsertPolicy(QComboBox::NoInsert);
    rates_->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,7}")), rates_));

    connect_ = new QPushButton(QStringLiteral("Connect"), this);
    connect_->setDefault(true);
    // With no port to offer there is nothing to connect to.
    connect_->setEnabled(ports_->count() > 0);
    rateHint_ = new QLabel(this);
    QObject::connect(rates_, &QComboBox::currentTextChanged, this, [this] {
        const bool valid = selectedRate() > 0;
        connect_->setEnabled(ports_->count() > 0 && valid);
        rateHint_->setText(valid ? QString()
                                 : QString::fromStdString(termcore::texts::badBaudRate(
                                       rates_->currentText().toStdString(), platform::kLowestBaudRate,
                                       platform::kHighestBaudRate)));
        // The dialog grows (and shrinks back) with the hint, so no line of it is cut off.
        layout()->activate();
        adjustSize();
    });
    rateHint_->setWordWrap(true);
    rateHint_->setMinimumWidth(rateHint_->fontMetrics().averageCharWidth() * 44);
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
    grid->addWidget(rateHint_, 2, 0, 1, 3);
    grid->addLayout(buttons, 3, 0, 1, 3);
}

QString SerialSetupDialog::rateHint() const
{
    return rateHint_->text();
}

void SerialSetupDialog::setDescriptions(const std::vector<std::string>& descriptions)
{
    for (int i = 0; i < ports_->count() && i < static_cast<int>(descriptions.size()); ++i) {
        const QString name = ports_->itemData(i).toString();
        const QString about = QString::fromStdString(descriptions[static_cast<size_t>(i)]);
        ports_->setItemText(i, about.isEmpty() ? name : name + QStringLiteral("  ") + about);
    }
}

std::string SerialSetupDialog::selectedPort() const
{
    return ports_->currentData().toString().toStdString();
}

int SerialSetupDialog::selectedRate() const
{
    return termcore::parseBaudRate(rates_->currentText().toStdString()).value_or(0);
}

} // namespace terminal
