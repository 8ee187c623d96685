#include "termcore/KeyTable.h"

#include <algorithm>
#include <array>

namespace termcore {

namespace {

constexpr uint8_t states(std::initializer_list<KeyState> list)
{
    uint8_t mask = 0;
    for (KeyState s : list)
        mask |= static_cast<uint8_t>(s);
    return mask;
}

constexpr uint8_t kAny = 0xFF;
constexpr uint8_t kIdle = static_cast<uint8_t>(KeyState::Idle);
constexpr uint8_t kBusy = states({KeyState::Transmitting, KeyState::Receiving, KeyState::Pasting});

// Modifiers a row asks for: exact Shift and Ctrl, Alt ignored.
enum Mods : uint8_t { kNone = 0, kShift = 1, kCtrl = 2, kCtrlShift = 3, kCtrlAnyShift = 4 };

struct Row {
    TerminalKey key;
    char symbol; // 0: any
    Mods mods;
    uint8_t when; // state mask
    KeyCommand command;
    const char* bytes;
};

// First match wins. Keys not listed here type their text (see action()).
constexpr std::array kRows{
    // Scrolling the history and holding it still work in every state.
    Row{TerminalKey::PageUp, 0, kShift, kAny, KeyCommand::ScrollPageUp, nullptr},
    Row{TerminalKey::PageDown, 0, kShift, kAny, KeyCommand::ScrollPageDown, nullptr},
    Row{TerminalKey::ScrollLock, 0, kNone, kAny, KeyCommand::ToggleScrollLock, nullptr},
    Row{TerminalKey::ScrollLock, 0, kShift, kAny, KeyCommand::ToggleScrollLock, nullptr},
    // The controller's cursor keys.
    Row{TerminalKey::Up, 0, kNone, kIdle, KeyCommand::Send, "\x1b[A"},
    Row{TerminalKey::Down, 0, kNone, kIdle, KeyCommand::Send, "\x1b[B"},
    Row{TerminalKey::Right, 0, kNone, kIdle, KeyCommand::Send, "\x1b[C"},
    Row{TerminalKey::Left, 0, kNone, kIdle, KeyCommand::Send, "\x1b[D"},
    Row{TerminalKey::Home, 0, kNone, kIdle, KeyCommand::Send, "\x1b[H"},
    Row{TerminalKey::End, 0, kNone, static_cast<uint8_t>(KeyState::Receiving), KeyCommand::StopReceive,
        nullptr},
    Row{TerminalKey::End, 0, kNone, kIdle, KeyCommand::Send, "\x1b[K"},
    Row{TerminalKey::PageUp, 0, kNone, kIdle, KeyCommand::ReceiveRecent, nullptr},
    Row{TerminalKey::PageDown, 0, kNone, kIdle, KeyCommand::TransmitRecent, nullptr},
    // Copy, paste and find own Ctrl+Shift+C/V/F; the accelerators own Ctrl+C/D/L/M/R/T/X:
    // their control codes are never sent, enabled or not.
    Row{TerminalKey::Letter, 'C', kCtrlShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'V', kCtrlShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'F', kCtrlShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'C', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'D', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'L', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'M', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'R', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'T', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    Row{TerminalKey::Letter, 'X', kCtrlAnyShift, kAny, KeyCommand::Swallow, nullptr},
    // Ctrl+1..9 send the send strings (the digit picks which).
    Row{TerminalKey::Digit, 0, kCtrl, kIdle, KeyCommand::SendString, nullptr},
    Row{TerminalKey::Digit, 0, kCtrl, kBusy, KeyCommand::Swallow, nullptr},
};

bool matches(const Row& row, const KeyPress& key, KeyState state)
{
    const Mods mods = static_cast<Mods>((key.shift ? kShift : 0) | (key.ctrl ? kCtrl : 0));
    const bool modsMatch = row.mods == kCtrlAnyShift ? key.ctrl : row.mods == mods;
    return row.key == key.key && (row.symbol == 0 || row.symbol == key.symbol) && modsMatch &&
           (row.when & static_cast<uint8_t>(state)) != 0;
}

// The bytes a typed key sends: Ctrl+letter is its control code whatever text the platform
// attached; the repeat count is folded into one write of at most kMaxKeyBytes.
std::string typedBytes(const KeyPress& key)
{
    std::string one;
    if (key.key == TerminalKey::Letter && key.ctrl && !key.alt)
        one.push_back(static_cast<char>(key.symbol - 'A' + 1));
    else
        one = key.text;
    if (one.empty())
        return {};
    const size_t limit = KeyTable::kMaxKeyBytes;
    const int repeat = std::clamp(key.repeat, 1, KeyTable::kMaxKeyBytes);
    std::string bytes;
    for (int i = 0; i < repeat && bytes.size() + one.size() <= limit; ++i)
        bytes += one;
    return bytes.empty() ? one.substr(0, limit) : bytes;
}

} // namespace

KeyAction KeyTable::action(const KeyPress& key, KeyState state)
{
    for (const Row& row : kRows) {
        if (!matches(row, key, state))
            continue;
        KeyAction action{row.command, row.bytes ? row.bytes : "", 0};
        if (row.command == KeyCommand::SendString)
            action.number = key.symbol - '0';
        return action;
    }
    // A navigation key the state does not allow is still the terminal's: nothing happens.
    if (key.key != TerminalKey::Other && key.key != TerminalKey::Letter && key.key != TerminalKey::Digit)
        return {KeyCommand::Swallow, {}, 0};
    const std::string bytes = typedBytes(key);
    if (bytes.empty())
        return {};
    const bool escape = bytes.find('\x1b') != std::string::npos;
    switch (state) {
    case KeyState::Idle:
        return {KeyCommand::Send, bytes, 0};
    case KeyState::Transmitting: // ESC stops a file being sent, other keys wait for it
        return {escape ? KeyCommand::CancelTransmit : KeyCommand::Swallow, {}, 0};
    case KeyState::Pasting: // ... and a paste the same way
        return {escape ? KeyCommand::CancelPaste : KeyCommand::Swallow, {}, 0};
    default: // closed port or capture: typing sends nothing
        return {KeyCommand::Swallow, {}, 0};
    }
}

} // namespace termcore
