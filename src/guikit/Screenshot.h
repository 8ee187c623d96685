#pragma once
// The programs' --screenshot: a picture of a main window as it looks, saved as an image file.

#include <QImage>
#include <QString>

class QWidget;

namespace guikit {

// The window's picture; with withMessageBoxes, every visible message box is drawn over its middle
// with a thin frame and a shadow (a box is a window of its own, so grabbing the main window alone
// would leave out what the user is being told).
QImage windowPicture(QWidget& window, bool withMessageBoxes);

// Saves windowPicture() to path (the format from its extension); false when it cannot be written.
bool saveScreenshot(QWidget& window, const QString& path, bool withMessageBoxes);

} // namespace guikit
