// Time stamps, the hex view, the log file, paste pacing, reopening a returned device and typed
// baud rates.

#include "support/TempFolder.h"
#include "termcore/LogWriter.h"
#include "termcore/PastePacer.h"
#include "termcore/ReceiveFormatter.h"
#include "termcore/ReconnectRule.h"
#include "termcore/TerminalConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using termcore::ReceiveFormatter;

namespace {

constexpr int64_t kAt = ((12 * 60 + 34) * 60 + 56) * 1000LL + 789; // 12:34:56.789

std::string run(ReceiveFormatter& f, const std::string& bytes, int64_t ms = kAt)
{
    std::string out;
    f.format(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ms, out);
    return out;
}

TEST(ReceiveFormatter, StampsStartEveryLineButNeverSplitASequence)
{
    struct Case {
        const char* name;
        std::vector<std::string> bursts; // each at kAt + 1000 * index
        std::string shown;
    };
    const Case cases[] = {
        {"two lines", {"ab\r\ncd"}, "12:34:56.789 ab\r\n12:34:56.789 cd"},
        {"line continues in the next burst", {"ab", "cd\n", "e"}, "12:34:56.789 abcd\n12:34:58.789 e"},
        {"a stamp waits for the line's first character",
         {"x\r\n", "\r\n", "y"},
         "12:34:56.789 x\r\n\r\n12:34:58.789 y"},
        {"escape sequence kept whole", {"\r\n\x1b[3;10Hfield"}, "\r\n\x1b[3;10H12:34:56.789 field"},
        {"sequence split over bursts", {"\x1b[3;", "1Hz"}, "\x1b[3;1H12:34:57.789 z"},
        {"eleven characters end a sequence",
         {std::string("\x1b") + "[1234567890" + "k"},
         std::string("\x1b") + "[1234567890" + "k"},
        {"control codes pass",
         {"\x07\x08q"},
         "\x07\x08"
         "12:34:56.789 q"},
    };
    for (const Case& c : cases) {
        ReceiveFormatter f;
        f.setTimestamps(true);
        std::string shown;
        for (size_t i = 0; i < c.bursts.size(); ++i)
            shown += run(f, c.bursts[i], kAt + 1000 * static_cast<int64_t>(i));
        EXPECT_EQ(shown, c.shown) << c.name;
    }
}

TEST(ReceiveFormatter, StampFormat)
{
    struct Case {
        int64_t ms;
        const char* text;
    };
    const Case cases[] = {{0, "00:00:00.000 "},
                          {kAt, "12:34:56.789 "},
                          {86399999, "23:59:59.999 "},
                          {86400000 + 5, "00:00:00.005 "},
                          {-1, "23:59:59.999 "}};
    for (const Case& c : cases) {
        std::string out;
        ReceiveFormatter::appendStamp(out, c.ms);
        EXPECT_EQ(out, c.text) << c.ms;
    }
}

TEST(ReceiveFormatter, HexLinesCarryOffsetBytesTextAndTheBurstTime)
{
    ReceiveFormatter f;
    f.setHex(true);
    EXPECT_FALSE(f.passThrough());
    std::string bytes = "ABCDEFGHIJKLMNOP";
    bytes += std::string("\x00\x1b\x7f\xff", 4);
    EXPECT_EQ(run(f, bytes),
              "00000000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50   ABCDEFGHIJKLMNOP\r\n"
              "00000010  00 1B 7F FF                                        ....\r\n");
    EXPECT_EQ(f.offset(), 20u);
    // With time stamps each line holds 8 bytes so it fits 80 columns, and every line of the
    // burst carries the burst's time; the next burst has its own.
    f.setTimestamps(true);
    const std::string stamped = run(f, "0123456789");
    EXPECT_EQ(stamped, "12:34:56.789 00000014  30 31 32 33 34 35 36 37   01234567\r\n"
                       "12:34:56.789 0000001C  38 39                     89\r\n");
    EXPECT_EQ(run(f, "z", kAt + 61000), "12:35:57.789 0000001E  7A                        z\r\n");
    for (size_t at = 0, end; (end = stamped.find("\r\n", at)) != std::string::npos; at = end + 2)
        EXPECT_LE(end - at, 80u);
    // Back to text: the next printable begins a stamped line.
    f.setHex(false);
    EXPECT_EQ(run(f, "ok"), "12:34:56.789 ok");
    f.setTimestamps(false);
    EXPECT_TRUE(f.passThrough());
    EXPECT_EQ(run(f, "\r\nplain"), "\r\nplain");
}

int64_t fileSize(const std::filesystem::path& p)
{
    std::error_code ec;
    const auto n = std::filesystem::file_size(p, ec);
    return ec ? -1 : static_cast<int64_t>(n);
}

TEST(LogWriter, BytesReachTheFileWithinASecondAndAtClose)
{
    testsupport::TempFolder dir("logwriter");
    const auto path = dir.path() / "session.log";
    termcore::LogWriter log;
    ASSERT_TRUE(log.open(path.string()));
    struct Step {
        const char* what;
        bool poll; // poll instead of writing
        int64_t at;
        std::string bytes;
        int64_t onDisk;
    };
    const Step steps[] = {
        {"buffered", false, 0, "abc", 0},
        {"still young", false, 400, "de", 0},
        {"poll before half a second", true, 499, "", 0},
        {"poll once it is due", true, 500, "", 5},
        {"a second old on the next write", false, 600, "f", 5},
        {"write a second later flushes", false, 1600, "g", 7},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(s.poll ? log.poll(s.at) : log.write(s.bytes.data(), s.bytes.size(), s.at)) << s.what;
        EXPECT_EQ(fileSize(path), s.onDisk) << s.what;
    }
    // A full buffer goes out at once.
    const std::string big(termcore::LogWriter::kBufferLimit, 'x');
    ASSERT_TRUE(log.write(big.data(), big.size(), 1601));
    EXPECT_EQ(fileSize(path), 7 + static_cast<int64_t>(big.size()));
    ASSERT_TRUE(log.write("end", 3, 1602));
    EXPECT_TRUE(log.close());
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.bytesLogged(), 10 + big.size());
    std::ifstream in(path, std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(all, "abcdefg" + big + "end");
    // A log that cannot be made says why.
    EXPECT_FALSE(log.open((dir.path() / "no-such-folder" / "x.log").string()));
    EXPECT_FALSE(log.errorText().empty());
    EXPECT_FALSE(log.write("x", 1, 0));
}

TEST(LogWriter, FileThatStopsTakingDataClosesTheLog)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    termcore::LogWriter log;
    ASSERT_TRUE(log.open("/dev/full"));
    EXPECT_FALSE(log.write("abc", 3, 0) && log.flush());
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.errorText().empty());
}

TEST(PastePacer, ConsoleBytesAndChunks)
{
    using termcore::PastePacer;
    struct Case {
        std::string text, bytes;
    };
    const Case cases[] = {{"ver\r\nhelp\n", "ver\rhelp\r"},
                          {"a\rb", "a\rb"},
                          {"tab\there", "tab\there"},
                          {std::string("x\x1b[2J\x03y\x7f", 8), "x[2Jy"},
                          {"\n\n", "\r\r"}};
    for (const Case& c : cases)
        EXPECT_EQ(PastePacer::consoleBytes(c.text), c.bytes) << c.text;

    PastePacer p;
    p.start("0123456789abcdefXYZ\rver\r", 1000);
    struct Step {
        int64_t at;
        std::string chunk;
    };
    const Step steps[] = {
        {1000, "0123456789abcdef"}, // 16 bytes at once
        {1019, ""},                 // the chunk gap
        {1020, "XYZ\r"},            // a chunk ends with the line
        {1169, ""},                 // the line gap
        {1170, "ver\r"},
        {5000, ""}, // all sent
    };
    for (const Step& s : steps)
        EXPECT_EQ(p.next(s.at), s.chunk) << s.at;
    EXPECT_FALSE(p.active());
    EXPECT_EQ(p.sent(), p.total());
    p.start("abc", 0);
    p.cancel();
    EXPECT_FALSE(p.active());
    EXPECT_EQ(p.next(100), "");
}

TEST(ReconnectRule, OnlyTheSameDeviceOrALinkMadeAnewComesBack)
{
    using termcore::PortResolution;
    const PortResolution linkedPty{"/dev/pts/5", true, true, 11};
    const PortResolution linkedTty{"/dev/ttyUSB0", true, true, 21};
    const PortResolution byDefault{"/dev/ttyUSB0", false, true};
    const PortResolution directPty{"/dev/pts/3", false, true};
    struct Case {
        const char* name;
        PortResolution atOpen, now;
        std::optional<std::string> open;
    };
    const Case cases[] = {
        {"link gone, default device in its place", linkedPty, {"/dev/ttyS4", false, true}, std::nullopt},
        {"link left naming the dead pty", linkedPty, {"/dev/pts/5", true, false, 11}, std::nullopt},
        {"same link, a stranger's pty got the number",
         linkedPty,
         {"/dev/pts/5", true, true, 11},
         std::nullopt},
        {"link made anew, new pty", linkedPty, {"/dev/pts/9", true, true, 12}, "/dev/pts/9"},
        {"link made anew, same pty number", linkedPty, {"/dev/pts/5", true, true, 12}, "/dev/pts/5"},
        {"adapter back under its link", linkedTty, {"/dev/ttyUSB0", true, true, 21}, "/dev/ttyUSB0"},
        {"adapter relinked", linkedTty, {"/dev/ttyUSB1", true, true, 22}, "/dev/ttyUSB1"},
        {"default device back", byDefault, {"/dev/ttyUSB0", false, true}, "/dev/ttyUSB0"},
        {"default now names another adapter", byDefault, {"/dev/ttyUSB1", false, true}, std::nullopt},
        {"a link now stands in for the default", byDefault, {"/dev/ttyUSB0", true, true, 5}, std::nullopt},
        {"still missing", byDefault, {"/dev/ttyUSB0", false, false}, std::nullopt},
        {"nothing behind the name", byDefault, {"", false, false}, std::nullopt},
        {"a pty given by path never returns", directPty, {"/dev/pts/3", false, true}, std::nullopt},
    };
    for (const Case& c : cases) {
        termcore::ReconnectRule rule;
        EXPECT_EQ(rule.deviceToOpen(c.now), std::nullopt) << c.name << " (not armed)";
        rule.arm("COM5", 57600, c.atOpen);
        EXPECT_EQ(rule.deviceToOpen(c.now), c.open) << c.name;
        rule.disarm();
        EXPECT_EQ(rule.deviceToOpen(c.now), std::nullopt) << c.name << " (disarmed)";
    }
}

TEST(ParseBaudRate, AnyRateTheSerialLayerCanSet)
{
    struct Case {
        const char* text;
        std::optional<int> rate;
    };
    const Case cases[] = {{"57600", 57600},        {"31250", 31250},        {"50", 50},
                          {"4000000", 4000000},    {"49", std::nullopt},    {"4000001", std::nullopt},
                          {"", std::nullopt},      {"abc", std::nullopt},   {"9600x", std::nullopt},
                          {"-9600", std::nullopt}, {" 9600", std::nullopt}, {"99999999999", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(termcore::parseBaudRate(c.text), c.rate) << c.text;
}

} // namespace
