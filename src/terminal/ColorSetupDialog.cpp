#include "terminal/ColorSetupDialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace terminal {

using termcore::ColorEditor;

ColorSetupDialog::ColorSetupDialog(termcore::Rgb storedBackground, termcore::Rgb storedText, Apply apply,
                                   QWidget* parent)
    : QDialog(parent), storedBackground_(storedBackground), storedText_(storedText),
      editor_(storedBackground, storedText), apply_(std::move(apply))
{
    setWindowTitle(QStringLiteral("Setup color"));
    backgroundButton_ = new QRadioButton(QStringLiteral("Background"), this);
    textButton_ = new QRadioButton(QStringLiteral("Text"), this);
    auto* group = new QButtonGroup(this);
    group->addButton(backgroundButton_);
    group->addButton(textButton_);
    backgroundButton_->setChecked(true);

    auto* grid = new QGridLayout(this);
    auto* radios = new QHBoxLayout;
    radios->addWidget(backgroundButton_);
    radios->addWidget(textButton_);
    radios->addStretch();
    grid->addLayout(radios, 0, 0, 1, 3);
    const char* names[3] = {"Red :", "Green :", "Blue :"};
    for (int i = 0; i < 3; ++i) {
        auto* bar = new QScrollBar(Qt::Horizontal, this);
        bar->setRange(0, 255);
        bar->setSingleStep(1);
        bar->setPageStep(10);
        bar->setMinimumWidth(256);
        auto* number = new QLabel(QStringLiteral("0"), this);
        number->setMinimumWidth(32);
        bars_[static_cast<size_t>(i)] = bar;
        numbers_[static_cast<size_t>(i)] = number;
        grid->addWidget(new QLabel(QString::fromLatin1(names[i]), this), i + 1, 0);
        grid->addWidget(bar, i + 1, 1);
        grid->addWidget(number, i + 1, 2);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, i](int action) { onAction(i, action); });
        // A value set by hand-editing code rather than a user action still marks a change.
        connect(bar, &QAbstractSlider::valueChanged, this, [this] {
            if (!showing_)
                preview_->setEnabled(true);
        });
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    preview_ = new QPushButton(QStringLiteral("Preview"), this);
    ok_->setDefault(true);
    preview_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(preview_);
    grid->addLayout(buttons, 4, 0, 1, 3);

    connect(ok_, &QPushButton::clicked, this, &ColorSetupDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &ColorSetupDialog::reject);
    connect(preview_, &QPushButton::clicked, this, &ColorSetupDialog::onPreview);
    connect(backgroundButton_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            editor_.select(ColorEditor::Target::Background);
            showEdited();
        }
    });
    connect(textButton_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            editor_.select(ColorEditor::Target::Text);
            showEdited();
        }
    });
    showEdited();
}

void ColorSetupDialog::showEdited()
{
    showing_ = true;
    for (int i = 0; i < 3; ++i) {
        const int value = editor_.component(static_cast<ColorEditor::Component>(i)) & 0xFF;
        bars_[static_cast<size_t>(i)]->setValue(value);
        numbers_[static_cast<size_t>(i)]->setText(QString::number(value));
    }
    showing_ = false;
}

void ColorSetupDialog::onAction(int component, int action)
{
    QScrollBar* bar = bars_[static_cast<size_t>(component)];
    ColorEditor::Step step = ColorEditor::Step::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        step = ColorEditor::Step::LineLeft;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        step = ColorEditor::Step::LineRight;
        break;
    case QAbstractSlider::SliderPageStepSub:
        step = ColorEditor::Step::PageLeft;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        step = ColorEditor::Step::PageRight;
        break;
    case QAbstractSlider::SliderMove:
        step = ColorEditor::Step::Track;
        break;
    default:
        break;
    }
    const int value =
        editor_.scroll(static_cast<ColorEditor::Component>(component), step, bar->sliderPosition()) & 0xFF;
    showing_ = true;
    bar->setSliderPosition(value);
    showing_ = false;
    numbers_[static_cast<size_t>(component)]->setText(QString::number(value));
    preview_->setEnabled(true);
}

void ColorSetupDialog::onPreview()
{
    if (apply_)
        apply_(editor_.background(), editor_.text());
    preview_->setEnabled(false);
}

void ColorSetupDialog::accept()
{
    storedBackground_ = editor_.background();
    storedText_ = editor_.text();
    if (apply_)
        apply_(storedBackground_, storedText_);
    QDialog::accept();
}

void ColorSetupDialog::reject()
{
    // Undo any preview.
    if (apply_)
        apply_(storedBackground_, storedText_);
    QDialog::reject();
}

} // namespace terminal
