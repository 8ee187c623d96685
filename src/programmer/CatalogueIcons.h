#pragma once
// The 32 x 32 pictures of catalogue entries 0..50 (device kinds and the registers of servos,
// sensor modules and the controller), drawn by our own code once and kept for the process.

#include <QIcon>
#include <QPixmap>

namespace programmer {

inline constexpr int CatalogueIconCount = 51;
inline constexpr int IconSize = 32;

// An empty pixmap for an entry without a picture.
const QPixmap& cataloguePixmap(int entry);
QIcon catalogueIcon(int entry);

// The 16 x 16 toolbar pictures by action name ("new", "open", "save", "cut", "copy", "paste",
// "checkRule", "downloadPlay", "about").
QIcon toolbarIcon(const QString& name);

} // namespace programmer
