#include "simwindow/SimPrompter.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

namespace simwindow {

namespace {
QString caption(QWidget* parent)
{
    return parent ? parent->window()->windowTitle() : QString();
}
} // namespace

void QtSimPrompter::inform(const QString& text)
{
    QMessageBox::information(parent_, caption(parent_), text);
}

bool QtSimPrompter::confirm(const QString& text)
{
    return QMessageBox::question(parent_, caption(parent_), text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

std::optional<int> QtSimPrompter::askNumber(const QString& text, int initial, int low, int high)
{
    bool ok = false;
    const int value = QInputDialog::getInt(parent_, caption(parent_), text, initial, low, high, 1, &ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString QtSimPrompter::openFile(const QString& filter, const QString& start)
{
    return QFileDialog::getOpenFileName(parent_, caption(parent_), start, filter);
}

QString QtSimPrompter::saveFile(const QString& filter, const QString& start)
{
    return QFileDialog::getSaveFileName(parent_, caption(parent_), start, filter);
}

} // namespace simwindow
