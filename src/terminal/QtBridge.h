#pragma once
// Between the toolkit and the terminal's core: a key event as the key table knows keys, text
// as the bytes the port takes, and a label as a menu shows it.

#include "termcore/KeyTable.h"

#include <QString>

#include <string>

class QKeyEvent;

namespace terminal {

termcore::KeyPress keyPressOf(const QKeyEvent& event);
// The Latin-1 bytes of text; characters beyond Latin-1 are left out.
std::string latin1(const QString& text);
// A label shown as it is: "&" in a file name is no mnemonic.
QString menuText(const std::string& label);

} // namespace terminal
