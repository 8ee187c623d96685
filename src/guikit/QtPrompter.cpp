#include "guikit/QtPrompter.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace guikit {

QMessageBox* newBox(QWidget* parent, const QString& caption, const QString& text, const BoxLook& look)
{
    // Built as QMessageBox's own static boxes build theirs, so that a box looks and answers the same
    // whichever way it is asked: buttons in their standard order, the default one named or else
    // the first accepting one.
    auto* box = new QMessageBox(look.icon, caption, text, QMessageBox::NoButton, parent);
    auto* buttons = box->findChild<QDialogButtonBox*>();
    for (uint mask = QMessageBox::FirstButton; mask <= QMessageBox::LastButton; mask <<= 1) {
        const auto standard = static_cast<QMessageBox::StandardButton>(look.buttons.toInt() & mask);
        if (!standard)
            continue;
        QPushButton* button = box->addButton(standard);
        if (box->defaultButton())
            continue;
        if (look.defaultButton == QMessageBox::NoButton
                ? buttons && buttons->buttonRole(button) == QDialogButtonBox::AcceptRole
                : standard == look.defaultButton)
            box->setDefaultButton(button);
    }
    return box;
}

QMessageBox::StandardButton showBox(QWidget* parent, const QString& caption, const QString& text,
                                    const BoxLook& look)
{
    const std::unique_ptr<QMessageBox> box(newBox(parent, caption, text, look));
    if (box->exec() == -1)
        return QMessageBox::Cancel;
    return box->standardButton(box->clickedButton());
}

SaveAnswer askSaveChanges(QWidget* parent, const QString& caption, const QString& text, const BoxLook& look)
{
    switch (showBox(parent, caption, text, look)) {
    case QMessageBox::Yes:
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::No:
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

QString dialogFilter(const QString& filter)
{
    if (!filter.contains('|'))
        return filter;
    const QStringList parts = filter.split('|', Qt::SkipEmptyParts);
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        names << parts[i];
    return names.join(";;");
}

QtPrompter::QtPrompter(const QString& caption, const PrompterLook& look, QWidget* parent)
    : caption_(caption), look_(look), parent_(parent)
{
}

QString QtPrompter::caption() const
{
    if (!caption_.isNull())
        return caption_;
    return parent_ ? parent_->window()->windowTitle() : QString();
}

void QtPrompter::inform(const QString& text)
{
    showBox(parent_, caption(), text, look_.inform);
}

bool QtPrompter::confirm(const QString& text)
{
    return showBox(parent_, caption(), text, look_.confirm) == QMessageBox::Ok;
}

bool QtPrompter::askYesNo(const QString& text)
{
    return showBox(parent_, caption(), text, look_.yesNo) == QMessageBox::Yes;
}

SaveAnswer QtPrompter::askSave(const QString& text)
{
    return askSaveChanges(parent_, caption(), text, look_.save);
}

QString QtPrompter::openFile(const QString& filter, const QString& start)
{
    QFileDialog dialog(parent_, caption(), start, dialogFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString QtPrompter::saveFile(const QString& filter, const QString& start, const QString& defaultSuffix)
{
    QFileDialog dialog(parent_, caption(), start, dialogFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace guikit
