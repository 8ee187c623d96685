#include "guikit/Screenshot.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>

namespace guikit {

QImage windowPicture(QWidget& window, bool withMessageBoxes)
{
    QImage image = window.grab().toImage();
    if (!withMessageBoxes)
        return image;
    QPainter painter(&image);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible())
            continue;
        const QPixmap shot = box->grab();
        const QPoint at((image.width() - shot.width()) / 2, (image.height() - shot.height()) / 2);
        painter.fillRect(QRect(at + QPoint(3, 3), shot.size()), QColor(0, 0, 0, 60));
        painter.drawPixmap(at, shot);
        painter.setPen(QColor(90, 90, 90));
        painter.drawRect(QRect(at, shot.size()).adjusted(0, 0, -1, -1));
    }
    return image;
}

bool saveScreenshot(QWidget& window, const QString& path, bool withMessageBoxes)
{
    return windowPicture(window, withMessageBoxes).save(path);
}

} // namespace guikit
