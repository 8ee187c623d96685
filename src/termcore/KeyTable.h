#pragma once
// What a key does in the terminal: one table from the key, its modifiers and the session's state
// to the bytes sent or the command run. The window only translates its toolkit's key codes into
// TerminalKey and carries out the commands that concern the view.

#include <cstdint>
#include <string>

namespace termcore {

enum class TerminalKey {
    Other,
    Up,
    Down,
    Right,
    Left,
    Home,
    End,
    PageUp,
    PageDown,
    ScrollLock,
    Letter,
    Digit
};

struct KeyPress {
    TerminalKey key = TerminalKey::Other;
    char symbol = 0; // 'A'..'Z' for a Letter, '0'..'9' for a Digit
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    std::string text; // Latin-1 text the key types (may be empty)
    int repeat = 1;   // auto-repeat count folded into one key message
};

// Where the session is when the key comes.
enum class KeyState : uint8_t {
    Closed = 1,       // no port
    Idle = 2,         // port open, nothing running
    Transmitting = 4, // a file is being sent
    Receiving = 8,    // a capture is running
    Pasting = 16,     // pasted text is being paced out
};

enum class KeyCommand {
    None,          // not the terminal's key: let the window have it
    Swallow,       // taken, nothing happens (an accelerator owns it, or the state forbids it)
    Send,          // bytes go to the port
    StopReceive,   // End while capturing
    ReceiveRecent, // Page Up: capture into the newest Rx entry
    TransmitRecent,
    CancelTransmit,
    CancelPaste,
    ScrollPageUp, // Shift+Page Up/Down: through the scroll-back
    ScrollPageDown,
    ToggleScrollLock,
    SendString, // Ctrl+1..9: the send string of that number (index in `number`)
};

struct KeyAction {
    KeyCommand command = KeyCommand::None;
    std::string bytes; // for Send
    int number = 0;    // for SendString: 1..9
};

class KeyTable {
  public:
    // The most bytes one key message sends (the size of one send buffer).
    static constexpr int kMaxKeyBytes = 12;

    static KeyAction action(const KeyPress& key, KeyState state);
};

} // namespace termcore
