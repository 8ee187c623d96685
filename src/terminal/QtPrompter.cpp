#include "terminal/QtPrompter.h"

#include "guikit/QtPrompter.h"
#include "termcore/TerminalTexts.h"

#include <QFileDialog>

namespace terminal {

void QtPrompter::error(const std::string& text, const std::string& detail)
{
    auto* box = guikit::newBox(parent_, QString::fromLatin1(termcore::texts::kErrorCaption),
                               QString::fromStdString(text), {QMessageBox::Warning, QMessageBox::Ok});
    if (!detail.empty())
        box->setInformativeText(QString::fromStdString(detail));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (nonBlocking_) {
        box->setWindowModality(Qt::NonModal);
        box->show();
        return;
    }
    box->exec();
}

bool QtPrompter::confirmOverwrite(const std::string& text)
{
    return guikit::showBox(parent_, QString::fromLatin1(termcore::texts::kOverwriteCaption),
                           QString::fromStdString(text),
                           {QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel,
                            QMessageBox::Cancel}) == QMessageBox::Ok;
}

std::string QtPrompter::openFile(const std::string& title, const std::string& filters)
{
    return QFileDialog::getOpenFileName(parent_, QString::fromStdString(title), QString(),
                                        QString::fromStdString(filters))
        .toStdString();
}

std::string QtPrompter::saveFile(const std::string& title, const std::string& filters)
{
    return QFileDialog::getSaveFileName(parent_, QString::fromStdString(title), QString(),
                                        QString::fromStdString(filters))
        .toStdString();
}

} // namespace terminal
