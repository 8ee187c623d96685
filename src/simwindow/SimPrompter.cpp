#include "simwindow/SimPrompter.h"

#include <QInputDialog>

namespace simwindow {

namespace {

guikit::PrompterLook simulatorLook()
{
    guikit::PrompterLook look;
    look.confirm.defaultButton = QMessageBox::Cancel;
    return look;
}

} // namespace

QtSimPrompter::QtSimPrompter(QWidget* parent) : guikit::QtPrompter(QString(), simulatorLook(), parent) {}

std::optional<int> QtSimPrompter::askNumber(const QString& text, int initial, int low, int high)
{
    bool ok = false;
    const int value = QInputDialog::getInt(parent(), caption(), text, initial, low, high, 1, &ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace simwindow
