#include "termcore/ColorEditor.h"
#include "termcore/RecentFileList.h"
#include "termcore/TerminalConfig.h"
#include "termcore/TerminalTexts.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using termcore::FileKind;
using termcore::RecentFileList;
using termcore::Rgb;
using termcore::TerminalConfig;
using testsupport::TempFolder;

namespace {

std::vector<uint8_t> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(RecentFileList, LabelsUseTheLastTwoComponents)
{
    EXPECT_EQ(RecentFileList::makeLabel("/home/u/work/app.hex", FileKind::Transmitted), "Tx: work/app.hex");
    EXPECT_EQ(RecentFileList::makeLabel("C:\\src\\work\\app.hex", FileKind::Received), "Rx: work\\app.hex");
    EXPECT_EQ(RecentFileList::makeLabel("app.hex", FileKind::Transmitted), "Tx: app.hex");
    EXPECT_EQ(RecentFileList::makeLabel("/app.hex", FileKind::Transmitted), "Tx: /app.hex");
    const std::string longName = "/d/" + std::string(400, 'n');
    EXPECT_EQ(RecentFileList::makeLabel(longName, FileKind::Transmitted).size(), 255u);
}

TEST(RecentFileList, AddMovesDropsAndKeepsKindsApart)
{
    RecentFileList list;
    EXPECT_EQ(list.newestOfKind(FileKind::Any), -1);
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(list.add("/f/" + std::to_string(i), FileKind::Transmitted));
    ASSERT_EQ(list.count(), 8);
    EXPECT_EQ(list.path(0), "/f/1"); // the ninth pushed the first out
    EXPECT_EQ(list.path(7), "/f/8");
    list.add("/f/3", FileKind::Transmitted);
    EXPECT_EQ(list.count(), 8);
    EXPECT_EQ(list.path(7), "/f/3");
    EXPECT_EQ(list.path(2), "/f/4");
    EXPECT_EQ(list.label(7), "Tx: f/3");
    list.add("/f/3", FileKind::Received);
    EXPECT_EQ(list.path(7), "/f/3");
    EXPECT_EQ(list.kind(7), FileKind::Received);
    EXPECT_EQ(list.path(6), "/f/3");
    EXPECT_EQ(list.kind(6), FileKind::Transmitted);
    EXPECT_EQ(list.newestOfKind(FileKind::Received), 7);
    EXPECT_EQ(list.newestOfKind(FileKind::Transmitted), 6);
    EXPECT_EQ(list.newestOfKind(FileKind::Any), 7);
    EXPECT_FALSE(list.add("/" + std::string(255, 'x'), FileKind::Transmitted));
    EXPECT_TRUE(list.add("/" + std::string(254, 'x'), FileKind::Transmitted));
}

TEST(RecentFileList, RemoveAndCommands)
{
    RecentFileList list;
    list.add("/a", FileKind::Transmitted);
    list.add("/b", FileKind::Received);
    list.add("/c", FileKind::Transmitted);
    EXPECT_EQ(list.commandToIndex(41001), 0);
    EXPECT_EQ(list.commandToIndex(41003), 2);
    EXPECT_EQ(list.commandToIndex(41004), -1);
    EXPECT_EQ(list.commandToIndex(41000), -1);
    EXPECT_TRUE(list.remove(0));
    EXPECT_EQ(list.path(0), "/b");
    EXPECT_EQ(list.label(1), "Tx: /c");
    EXPECT_FALSE(list.remove(2));
    EXPECT_EQ(list.newestOfKind(FileKind::Received), 0);
    list.remove(0);
    list.remove(0);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.newestOfKind(FileKind::Any), -1);
}

TEST(TerminalConfig, DefaultsAndLayout)
{
    TempFolder dir("termcfg");
    TerminalConfig config;
    EXPECT_FALSE(config.load((dir.path() / TerminalConfig::kFileName).string()));
    EXPECT_EQ(config.portName(), "COM1");
    EXPECT_EQ(config.baudRate(), 57600);
    EXPECT_TRUE(config.bytesum());
    EXPECT_EQ(config.background(), (Rgb{255, 255, 255}));
    EXPECT_EQ(config.text(), (Rgb{0, 0, 0}));
    EXPECT_EQ(config.recent().count(), 0);
    ASSERT_TRUE(config.setPortName("COM3"));
    config.setBaudRate(115200);
    ASSERT_TRUE(config.save());
    const auto bytes = readAll(config.path());
    ASSERT_EQ(bytes.size(), 2134u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 10), std::string("COM3\0\0\0\0\0\0", 10));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 14, bytes.begin() + 18),
              (std::vector<uint8_t>{0x00, 0xC2, 0x01, 0x00}));
    EXPECT_EQ(bytes[18], 5); // reserved B of a new file
    EXPECT_EQ(bytes[2106], 1);
    EXPECT_EQ(bytes[2110], 255);
    EXPECT_EQ(bytes[2122], 0);
    // No temporary file stays behind.
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(TerminalConfig, RoundTripKeepsEveryByteIncludingStaleSlots)
{
    TempFolder dir("termcfg");
    std::vector<uint8_t> bytes(2134);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>('a' + i % 26);
    // Terminate every text field inside itself and give a valid count and kinds.
    bytes[5] = 0;
    bytes[22] = 3;
    bytes[23] = bytes[24] = bytes[25] = 0;
    for (size_t slot = 0; slot < 8; ++slot) {
        const size_t at = 26 + slot * 260;
        bytes[at + 100] = 0;
        std::memset(&bytes[at + 256], 0, 4);
        bytes[at + 256] = slot % 2;
    }
    const fs::path p = dir.path() / "cfg";
    writeAll(p, bytes);
    TerminalConfig config;
    ASSERT_TRUE(config.load(p.string()));
    EXPECT_EQ(config.recent().count(), 3);
    EXPECT_EQ(config.portName(), "abcde");
    ASSERT_TRUE(config.save());
    EXPECT_EQ(readAll(p), bytes);
}

TEST(TerminalConfig, DamagedFilesAreReadSafely)
{
    TempFolder dir("termcfg");
    const fs::path p = dir.path() / "cfg";
    // A short file: what is there is read, the rest keeps its defaults.
    TerminalConfig good;
    good.setPortName("COM7");
    good.setBaudRate(9600);
    good.recent().add("/x/y.hex", FileKind::Transmitted);
    auto bytes = good.toBytes();
    bytes.resize(300);
    writeAll(p, bytes);
    TerminalConfig config;
    ASSERT_TRUE(config.load(p.string()));
    EXPECT_EQ(config.portName(), "COM7");
    EXPECT_EQ(config.baudRate(), 9600);
    EXPECT_EQ(config.recent().count(), 1);
    EXPECT_EQ(config.recent().label(0), "Tx: x/y.hex");
    EXPECT_TRUE(config.bytesum());
    EXPECT_EQ(config.background(), (Rgb{255, 255, 255}));

    // Count out of range, text fields without terminator.
    std::vector<uint8_t> bad(2134, 'Z');
    for (int32_t count : {99, -3}) {
        std::memcpy(&bad[22], &count, 4);
        writeAll(p, bad);
        ASSERT_TRUE(config.load(p.string()));
        EXPECT_EQ(config.recent().count(), count < 0 ? 0 : 8);
        EXPECT_EQ(config.portName(), std::string(9, 'Z'));
        if (count > 0) {
            EXPECT_EQ(config.recent().path(0).size(), 255u);
            EXPECT_LE(config.recent().label(7).size(), 255u);
        }
    }
    // A port name that cannot be stored is refused.
    EXPECT_FALSE(config.setPortName("COM123456789"));
}

TEST(TerminalConfig, FailedSaveKeepsTheOldFile)
{
    TempFolder dir("termcfg");
    TerminalConfig config;
    config.setPath((dir.path() / "missing-folder" / "cfg").string());
    EXPECT_FALSE(config.save());
    const fs::path p = dir.path() / "cfg";
    writeAll(p, {1, 2, 3});
    fs::create_directory(dir.path() / "ro");
    EXPECT_FALSE(config.saveTo((dir.path() / "ro").string())); // a folder cannot be replaced
    EXPECT_EQ(readAll(p), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ColorEditor, PageRightOnTextRedAndClamping)
{
    termcore::ColorEditor editor({255, 255, 255}, {0, 0, 0});
    using C = termcore::ColorEditor::Component;
    using S = termcore::ColorEditor::Step;
    editor.select(termcore::ColorEditor::Target::Text);
    editor.scroll(C::Red, S::PageRight);
    EXPECT_EQ(editor.scroll(C::Red, S::PageRight), 20);
    EXPECT_EQ(editor.text(), (Rgb{20, 0, 0}));
    EXPECT_EQ(editor.background(), (Rgb{255, 255, 255}));
    EXPECT_EQ(editor.scroll(C::Blue, S::LineLeft), 0);
    EXPECT_EQ(editor.scroll(C::Green, S::Track, 300), 255);
    EXPECT_EQ(editor.scroll(C::Green, S::Other), 255);
    editor.select(termcore::ColorEditor::Target::Background);
    EXPECT_EQ(editor.scroll(C::Red, S::LineRight), 255);
}

TEST(TerminalTexts, StatusLines)
{
    using namespace termcore::texts;
    EXPECT_EQ(transmitStatus(50, 200), "TX data... 50/200byte 25% (Cancel to press ESC)");
    EXPECT_EQ(transmitStatus(0, 0), "TX data... 0/0byte 0% (Cancel to press ESC)");
    // 64-bit arithmetic: no overflow for big files.
    EXPECT_EQ(transmitStatus(3000000000ull, 4000000000ull),
              "TX data... 3000000000/4000000000byte 75% (Cancel to press ESC)");
    EXPECT_EQ(receiveStatus(3000), "RX data... 3000 byte (Quit to press END)");
    EXPECT_EQ(idleStatus(""), "No recent file");
    EXPECT_EQ(idleStatus("Tx: a/b"), "Latest file => Tx: a/b");
    EXPECT_EQ(idleStatus(std::string(300, 'q')).size(), 199u);
    EXPECT_EQ(connectionStatus(true, "COM1", 57600), "COM1-57600");
    EXPECT_EQ(connectionStatus(false, "COM1", 57600), "Disconnect");
    EXPECT_EQ(cannotOpenPort("COM4", 9600), "Can not open COM4, 9600 bps!");
    EXPECT_EQ(hexFailed(3), "Error in converting hex file! #3");
}

} // namespace
