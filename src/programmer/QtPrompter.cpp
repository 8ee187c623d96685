#include "programmer/QtPrompter.h"

#include "taskloom_base/ProgrammerTexts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace programmer {

QString dialogFilter(const QString& barFilter)
{
    const QStringList parts = barFilter.split('|', Qt::SkipEmptyParts);
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        names << parts[i];
    return names.join(";;");
}

void QtPrompter::message(const QString& text)
{
    QMessageBox::information(parent_, programmer::text(Str::Title), text);
}

bool QtPrompter::confirm(const QString& text)
{
    return QMessageBox::question(parent_, programmer::text(Str::Title), text,
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool QtPrompter::askYesNo(const QString& text)
{
    return QMessageBox::question(parent_, programmer::text(Str::Title), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

SaveAnswer QtPrompter::askSave(const QString& text)
{
    switch (QMessageBox::question(parent_, programmer::text(Str::Title), text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return SaveAnswer::Save;
    case QMessageBox::No:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

QString QtPrompter::openFile(const QString& filter, const QString& start)
{
    QFileDialog dialog(parent_, programmer::text(Str::Title), start, dialogFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString QtPrompter::saveFile(const QString& filter, const QString& start, const QString& defaultSuffix)
{
    QFileDialog dialog(parent_, programmer::text(Str::Title), start, dialogFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace programmer
