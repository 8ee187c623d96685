// The side file's settings, the byte escapes of the send strings, and the key table.

#include "support/TempFolder.h"
#include "termcore/ByteEscapes.h"
#include "termcore/KeyTable.h"
#include "termcore/SessionSettings.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace termcore;

namespace {

TEST(ByteEscapes, DecodeAndEncodeRoundTrip)
{
    struct Case {
        const char* text;
        std::string bytes;
    };
    const Case cases[] = {
        {"\\rexit\\ry", "\rexit\ry"},
        {"a\\tb\\n", "a\tb\n"},
        {"\\e[2J", "\x1b[2J"},
        {"\\x55\\x00\\xfF", std::string("\x55\x00\xff", 3)},
        {"\\\\", "\\"},
        {"\\q\\x5", "\\q\\x5"}, // not an escape: kept as written
        {"end\\", "end\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ByteEscapes::decode(c.text), c.bytes) << c.text;
    std::string every;
    for (int b = 0; b < 256; ++b)
        every.push_back(static_cast<char>(b));
    EXPECT_EQ(ByteEscapes::decode(ByteEscapes::encode(every)), every);
    EXPECT_EQ(ByteEscapes::encode("\rexit\ry"), "\\rexit\\ry");
}

TEST(SessionSettings, DefaultsSaveAndSkipWhatIsDamaged)
{
    SessionSettings defaults;
    EXPECT_EQ(ByteEscapes::decode(defaults.sendStrings[1].text), std::string(255, '\x55'));
    EXPECT_EQ(ByteEscapes::decode(defaults.sendStrings[2].text), "\rexit\ry");
    EXPECT_EQ(defaults.sendStrings[0].text.find_first_not_of('#'), std::string::npos);
    EXPECT_EQ(SessionSettings::pathBeside("/a/Wirescope v1.07.cfg"), "/a/Wirescope v1.07.ini");

    testsupport::TempFolder folder("session-settings");
    SessionSettings s;
    s.timestamps = true;
    s.logTimestamps = true;
    s.columns = 100;
    s.rows = 20;
    s.fontPixels = 22;
    s.sendStrings[4] = {"Ver", "ver\\r"};
    const std::string path = folder.file("w.ini");
    ASSERT_TRUE(s.save(path));
    SessionSettings back;
    ASSERT_TRUE(back.load(path));
    EXPECT_EQ(back.serialise(), s.serialise());

    // Damaged lines cost only themselves.
    SessionSettings damaged;
    ASSERT_TRUE(damaged.parse("rows=3\ncolumns=abc\nhexView=2\ntimestamps=1\r\nsend0=x|y\nsend9=no bar\n"
                              "send2=Two|2\nfontPixels=99\ngarbage\n=\n"));
    EXPECT_EQ(damaged.rows, 36);
    EXPECT_EQ(damaged.columns, 80);
    EXPECT_FALSE(damaged.hexView);
    EXPECT_TRUE(damaged.timestamps);
    EXPECT_EQ(damaged.fontPixels, 0);
    EXPECT_EQ(damaged.sendStrings[1].name, "Two");
    EXPECT_EQ(damaged.sendStrings[8].name, SessionSettings::defaultSendStrings()[8].name);
    EXPECT_FALSE(damaged.parse(std::string(SessionSettings::kMaxFileSize + 1, 'x')));
    EXPECT_FALSE(back.load(folder.file("missing.ini")));
}

KeyPress press(TerminalKey key, char symbol = 0, bool ctrl = false, bool shift = false, std::string text = {})
{
    KeyPress k;
    k.key = key;
    k.symbol = symbol;
    k.ctrl = ctrl;
    k.shift = shift;
    k.text = std::move(text);
    return k;
}

TEST(KeyTable, StateDecidesWhatAKeyDoes)
{
    struct Case {
        const char* what;
        KeyPress key;
        KeyState state;
        KeyCommand command;
        const char* bytes;
    };
    const Case cases[] = {
        {"Up idle", press(TerminalKey::Up), KeyState::Idle, KeyCommand::Send, "\x1b[A"},
        {"Up transmitting", press(TerminalKey::Up), KeyState::Transmitting, KeyCommand::Swallow, ""},
        {"End capturing", press(TerminalKey::End), KeyState::Receiving, KeyCommand::StopReceive, ""},
        {"End idle", press(TerminalKey::End), KeyState::Idle, KeyCommand::Send, "\x1b[K"},
        {"Page Up idle", press(TerminalKey::PageUp), KeyState::Idle, KeyCommand::ReceiveRecent, ""},
        {"Page Down capturing", press(TerminalKey::PageDown), KeyState::Receiving, KeyCommand::Swallow, ""},
        {"Shift+Page Up transmitting", press(TerminalKey::PageUp, 0, false, true), KeyState::Transmitting,
         KeyCommand::ScrollPageUp, ""},
        {"Scroll Lock closed", press(TerminalKey::ScrollLock), KeyState::Closed, KeyCommand::ToggleScrollLock,
         ""},
        {"Tab idle", press(TerminalKey::Other, 0, false, false, "\t"), KeyState::Idle, KeyCommand::Send,
         "\t"},
        {"ESC transmitting", press(TerminalKey::Other, 0, false, false, "\x1b"), KeyState::Transmitting,
         KeyCommand::CancelTransmit, ""},
        {"ESC pasting", press(TerminalKey::Other, 0, false, false, "\x1b"), KeyState::Pasting,
         KeyCommand::CancelPaste, ""},
        {"a pasting", press(TerminalKey::Letter, 'A', false, false, "a"), KeyState::Pasting,
         KeyCommand::Swallow, ""},
        {"a capturing", press(TerminalKey::Letter, 'A', false, false, "a"), KeyState::Receiving,
         KeyCommand::Swallow, ""},
        {"Ctrl+Z", press(TerminalKey::Letter, 'Z', true), KeyState::Idle, KeyCommand::Send, "\x1a"},
        {"Ctrl+Shift+D", press(TerminalKey::Letter, 'D', true, true), KeyState::Idle, KeyCommand::Swallow,
         ""},
        {"Ctrl+Shift+V", press(TerminalKey::Letter, 'V', true, true), KeyState::Idle, KeyCommand::Swallow,
         ""},
        {"Ctrl+5 idle", press(TerminalKey::Digit, '5', true), KeyState::Idle, KeyCommand::SendString, ""},
        {"Ctrl+5 transmitting", press(TerminalKey::Digit, '5', true), KeyState::Transmitting,
         KeyCommand::Swallow, ""},
        {"5 idle", press(TerminalKey::Digit, '5', false, false, "5"), KeyState::Idle, KeyCommand::Send, "5"},
        {"Shift alone", press(TerminalKey::Other), KeyState::Idle, KeyCommand::None, ""},
    };
    for (const Case& c : cases) {
        const KeyAction a = KeyTable::action(c.key, c.state);
        EXPECT_EQ(a.command, c.command) << c.what;
        EXPECT_EQ(a.bytes, c.bytes) << c.what;
    }
    EXPECT_EQ(KeyTable::action(press(TerminalKey::Digit, '5', true), KeyState::Idle).number, 5);
}

} // namespace
