#include "programmer/dialogs/DialogPrompter.h"
#include "programmer/dialogs/DialogText.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace programmer {

void QtDialogPrompter::inform(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, kTaskloomCaption, text, QMessageBox::Ok);
}

bool QtDialogPrompter::askYesNo(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, kTaskloomCaption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QString QtDialogPrompter::openFile(QWidget* parent, const QString& filter, const QString& start)
{
    return QFileDialog::getOpenFileName(parent, kTaskloomCaption, start, filter);
}

QString QtDialogPrompter::saveFile(QWidget* parent, const QString& filter, const QString& start)
{
    QFileDialog dialog(parent, kTaskloomCaption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // "Robot motion file(*.mtn)" gives "mtn": a name typed without it still gets the extension.
    QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    if (m.hasMatch())
        dialog.setDefaultSuffix(m.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace programmer
