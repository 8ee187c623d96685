#include "programmer/dialogs/CKZ7RecoverPages.h"

#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/PortCombo.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace programmer {

CKZ7RecoverPage::CKZ7RecoverPage(QWidget* parent) : QWidget(parent)
{
    layout_ = new QVBoxLayout(this);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message_->setFrameShape(QFrame::StyledPanel);
    message_->setMinimumHeight(110);
    message_->setMargin(8);
    layout_->addWidget(message_);
}

void CKZ7RecoverPage::setMessage(const QString& text)
{
    message_->setText(text);
}

QString CKZ7RecoverPage::message() const
{
    return message_->text();
}

CKZ7RecoverPage2::CKZ7RecoverPage2(QWidget* parent) : CKZ7RecoverPage(parent)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Port Name :"), this));
    combo = new PortCombo(this);
    row->addWidget(combo, 1);
    layout_->addLayout(row);
    layout_->addStretch(1);
}

CKZ7RecoverPage4::CKZ7RecoverPage4(QWidget* parent) : CKZ7RecoverPage(parent)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("File name :"), this));
    fileName = new QLabel(QStringLiteral("No file"), this);
    fileName->setFrameShape(QFrame::StyledPanel);
    row->addWidget(fileName, 1);
    find = new QPushButton(QStringLiteral("Find"), this);
    find->setAutoDefault(false);
    row->addWidget(find);
    layout_->addLayout(row);
    check = new QCheckBox(QStringLiteral("Check by reading back"), this);
    layout_->addWidget(check);
    layout_->addStretch(1);
}

CKZ7RecoverPage5::CKZ7RecoverPage5(QWidget* parent) : CKZ7RecoverPage(parent)
{
    bar = new PercentBar(this);
    layout_->addWidget(bar);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    skip = new QPushButton(QStringLiteral("Skip check"), this);
    skip->setAutoDefault(false);
    row->addWidget(skip);
    layout_->addLayout(row);
    layout_->addStretch(1);
}

} // namespace programmer
