#include "simwindow/SimPrompter.h"

#include <QInputDialog>

namespace simwindow {

QtSimPrompter::QtSimPrompter(QWidget* parent)
    : guikit::QtPrompter(
          QString(),
          {.confirm = {QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel}},
          parent)
{
}

std::optional<int> QtSimPrompter::askNumber(const QString& text, int initial, int low, int high)
{
    bool ok = false;
    const int value = QInputDialog::getInt(parent(), caption(), text, initial, low, high, 1, &ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace simwindow
