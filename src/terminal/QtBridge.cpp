#include "terminal/QtBridge.h"

#include <QKeyEvent>

#include <utility>

namespace terminal {

using termcore::TerminalKey;

std::string latin1(const QString& text)
{
    std::string out;
    for (QChar c : text)
        if (c.unicode() <= 0xFF)
            out.push_back(static_cast<char>(c.unicode()));
    return out;
}

QString menuText(const std::string& label)
{
    return QString::fromStdString(label).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

termcore::KeyPress keyPressOf(const QKeyEvent& event)
{
    static const std::pair<int, TerminalKey> kKeys[] = {
        {Qt::Key_Up, TerminalKey::Up},
        {Qt::Key_Down, TerminalKey::Down},
        {Qt::Key_Right, TerminalKey::Right},
        {Qt::Key_Left, TerminalKey::Left},
        {Qt::Key_Home, TerminalKey::Home},
        {Qt::Key_End, TerminalKey::End},
        {Qt::Key_PageUp, TerminalKey::PageUp},
        {Qt::Key_PageDown, TerminalKey::PageDown},
        {Qt::Key_ScrollLock, TerminalKey::ScrollLock},
    };
    termcore::KeyPress press;
    const int key = event.key();
    for (const auto& [qt, ours] : kKeys)
        if (key == qt)
            press.key = ours;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        press.key = TerminalKey::Letter;
        press.symbol = static_cast<char>('A' + (key - Qt::Key_A));
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        press.key = TerminalKey::Digit;
        press.symbol = static_cast<char>('0' + (key - Qt::Key_0));
    }
    press.ctrl = event.modifiers() & Qt::ControlModifier;
    press.shift = event.modifiers() & Qt::ShiftModifier;
    press.alt = event.modifiers() & Qt::AltModifier;
    press.text = latin1(event.text());
    press.repeat = event.count();
    return press;
}

} // namespace terminal
