#pragma once
// Texts of a program (labels, comments, names) between the file's code page and the screen.

#include <QString>

#include <optional>
#include <string>

namespace programmer {

QString fromProgramText(const std::string& bytes);
// The bytes of a typed text, or nothing when a character cannot be stored; then `refusal` is
// the message that says which.
std::optional<std::string> toProgramText(const QString& typed, QString* refusal);

} // namespace programmer
