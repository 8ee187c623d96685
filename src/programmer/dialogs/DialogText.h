#pragma once
// The texts every controller dialog shows, by string number.

#include <QString>

namespace programmer {

// The message or label text of a string number (empty for a number not in the table).
QString dialogText(int number);

} // namespace programmer
