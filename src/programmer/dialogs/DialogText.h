#pragma once
// The texts every controller dialog shows, by string number, and the caption of their boxes.

#include <QString>

namespace programmer {

inline const QString kTaskloomCaption = QStringLiteral("Taskloom (Tessaban)");

// The message or label text of a string number (empty for a number not in the table).
QString dialogText(int number);

} // namespace programmer
