#include "programmer/SetParameterDialog.h"

#include "programmer/CatalogueIcons.h"
#include "programmer/ProgramText.h"
#include "taskloom_base/ProgrammerTexts.h"
#include "taskloom_base/Prompter.h"

#include "behaviour/CellEditing.h"
#include "behaviour/CommandCatalogue.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace programmer {

using behaviour::CommandCatalogue;

namespace {

constexpr int CustomCode = 200;
constexpr int CustomValue = 1000;

int iconForKind(int kind)
{
    switch (kind) {
    case 1:
        return 0; // servo
    case 2:
        return 1; // sensor module
    default:
        return 2; // all devices, and "Custom ID"
    }
}

QListWidget* iconList(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setIconSize(QSize(IconSize, IconSize));
    list->setMinimumSize(260, 280);
    return list;
}

} // namespace

SetParameterDialog::SetParameterDialog(behaviour::ProgramLine& line, int column,
                                       const motion::DeviceTable& devices, Prompter& prompter,
                                       QWidget* parent)
    : QDialog(parent), line_(line), column_(column), prompter_(prompter)
{
    setWindowTitle("Set Parameter");
    const behaviour::ProgramCell& cell = line.cells.at(static_cast<size_t>(column));
    readCell_ = cell.flags & behaviour::CellFlag::Read;
    const bool writeCell = cell.flags & behaviour::CellFlag::Write;

    ok_ = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    ok_->setDefault(true);
    idList_ = iconList(this);
    idBox_ = new QLineEdit(this);
    idBox_->setAlignment(Qt::AlignRight);
    addressList_ = iconList(this);
    addressBox_ = new QLineEdit(this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("ID :", this), 0, 0);
    grid->addWidget(new QLabel("Address :", this), 0, 1);
    grid->addWidget(idList_, 1, 0);
    grid->addWidget(addressList_, 1, 1);
    grid->addWidget(idBox_, 2, 0);
    grid->addWidget(addressBox_, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);
    setTabOrder(ok_, cancel);
    setTabOrder(cancel, idList_);
    setTabOrder(idList_, idBox_);
    setTabOrder(idBox_, addressList_);
    setTabOrder(addressList_, addressBox_);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &SetParameterDialog::accept);

    // The ID list: "Custom ID", then the devices (the broadcast entry only for a written operand).
    ids_.push_back({CustomCode, CustomValue, "Custom ID"});
    for (int i = writeCell ? 0 : 1; i < devices.count(); ++i) {
        const auto& d = devices.entry(i);
        ids_.push_back({static_cast<int>(d.kind), d.id, QString::fromStdString(d.name)});
    }
    for (const IdItem& item : ids_) {
        auto* w = new QListWidgetItem(catalogueIcon(iconForKind(item.code == CustomCode ? 0 : item.code)),
                                      item.name, idList_);
        (void)w;
    }

    // What the cell holds now.
    const auto& cat = CommandCatalogue::instance();
    const uint8_t mask = cell.kind() == behaviour::Kind::Device ? cell.mask() : behaviour::NotChosen;
    const bool isDevice = cell.kind() == behaviour::Kind::Device;
    idList_->setCurrentRow(0);
    previousKind_ = CustomCode;
    useCustom(true);
    if (!isDevice || mask != 0) {
        if (isDevice && mask == 1) {
            idBox_->setText(QString::number(cell.id));
            addressBox_->setText(fromProgramText(cell.text));
        } else if (isDevice && mask == 2) {
            idBox_->setText(fromProgramText(cell.idName));
            addressBox_->setText(QString::number(cell.value));
        } else if (isDevice && mask == 3) {
            idBox_->setText(fromProgramText(cell.idName));
            addressBox_->setText(fromProgramText(cell.text));
        }
    } else {
        int found = -1;
        for (size_t i = 1; i < ids_.size(); ++i)
            if (ids_[i].value == cell.id) {
                found = static_cast<int>(i);
                break;
            }
        if (found < 0) {
            if (cell.id != behaviour::ControllerId) {
                idBox_->setText(QString::number(cell.id));
                addressBox_->setText(QString::number(cell.value));
            }
        } else {
            const auto regs = CommandCatalogue::registerList(
                static_cast<behaviour::DeviceKind>(ids_[static_cast<size_t>(found)].code),
                readCell_ ? behaviour::Direction::Read : behaviour::Direction::Write);
            int reg = -1;
            for (size_t i = 0; i < regs.size(); ++i)
                if (cat.code(regs[i]) == cell.value)
                    reg = static_cast<int>(i);
            if (reg >= 0) {
                idList_->blockSignals(true);
                idList_->setCurrentRow(found);
                idList_->blockSignals(false);
                previousKind_ = ids_[static_cast<size_t>(found)].code;
                fillAddresses(previousKind_);
                addressList_->setCurrentRow(reg);
                idBox_->setText(QString::number(cell.id));
                addressBox_->setText(QString::number(cell.value));
                useCustom(false);
            } else {
                idBox_->setText(QString::number(cell.id));
                addressBox_->setText(QString::number(cell.value));
            }
        }
    }
    connect(idList_, &QListWidget::currentRowChanged, this, &SetParameterDialog::idSelected);
    connect(addressList_, &QListWidget::currentRowChanged, this, &SetParameterDialog::addressSelected);
    idList_->setFocus();
}

void SetParameterDialog::fillAddresses(int kind)
{
    addressList_->blockSignals(true);
    addressList_->clear();
    const auto& cat = CommandCatalogue::instance();
    registers_ =
        CommandCatalogue::registerList(static_cast<behaviour::DeviceKind>(kind),
                                       readCell_ ? behaviour::Direction::Read : behaviour::Direction::Write);
    for (int entry : registers_)
        new QListWidgetItem(catalogueIcon(entry), QString::fromStdString(cat.name(entry)), addressList_);
    addressList_->blockSignals(false);
}

void SetParameterDialog::useCustom(bool custom)
{
    addressList_->setEnabled(!custom);
    idBox_->setEnabled(custom);
    addressBox_->setEnabled(custom);
}

void SetParameterDialog::idSelected(int row)
{
    if (row < 0 || row >= static_cast<int>(ids_.size()))
        return;
    const IdItem& item = ids_[static_cast<size_t>(row)];
    if (item.code != CustomCode) {
        idBox_->setText(QString::number(item.value));
        if (item.code != previousKind_) {
            fillAddresses(item.code);
            addressList_->setCurrentRow(0);
            addressSelected(0);
            useCustom(false);
        }
    } else if (previousKind_ != CustomCode) {
        addressList_->clear();
        registers_.clear();
        useCustom(true);
    }
    previousKind_ = item.code;
}

void SetParameterDialog::addressSelected(int row)
{
    if (row >= 0 && row < static_cast<int>(registers_.size()))
        addressBox_->setText(
            QString::number(CommandCatalogue::instance().code(registers_[static_cast<size_t>(row)])));
}

const SetParameterDialog::IdItem* SetParameterDialog::selectedDevice() const
{
    const int row = idList_->currentRow();
    if (row <= 0 || row >= static_cast<int>(ids_.size()))
        return nullptr;
    return &ids_[static_cast<size_t>(row)];
}

void SetParameterDialog::accept()
{
    behaviour::ProgramLine edited = line_;
    const IdItem* device = selectedDevice();
    const int reg = addressList_->currentRow();
    if (device && reg >= 0 && reg < static_cast<int>(registers_.size())) {
        behaviour::setDeviceRegister(edited, column_, device->name.toStdString(), device->value,
                                     registers_[static_cast<size_t>(reg)]);
    } else {
        QString refusal;
        const auto id = toProgramText(idBox_->text(), &refusal);
        const auto address = toProgramText(addressBox_->text(), &refusal);
        if (!id || !address) {
            prompter_.message(refusal);
            return; // stays open with what was typed
        }
        const auto r = behaviour::setCustomRegister(edited, column_, *id, *address);
        if (!r.ok) {
            prompter_.message(text(r.messageId));
            return; // stays open with what was typed
        }
    }
    line_ = edited;
    QDialog::accept();
}

} // namespace programmer
