#include "firmware/HexImageLoader.h"

#include "firmware/FirmwareTestFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

using firmware::HexError;
using firmware::HexImageLoader;
namespace tf = firmware::testfiles;

namespace {

struct Loaded {
    bool ok = false;
    std::vector<std::uint8_t> buffer;
    std::size_t start = 12345;
    std::size_t length = 54321;
    HexError error = HexError::None;
    std::size_t line = 0;
};

Loaded loadText(std::string_view text)
{
    HexImageLoader loader;
    Loaded r;
    r.ok = loader.loadText(text, r.buffer, r.start, r.length);
    r.error = loader.error();
    r.line = loader.errorLine();
    return r;
}

// A loader with the buffer and results it hands back, kept across loads.
struct Session {
    HexImageLoader loader;
    std::vector<std::uint8_t> buffer;
    std::size_t start = 0, length = 0;
    bool text(std::string_view t) { return loader.loadText(t, buffer, start, length); }
    bool file(const std::string& path) { return loader.load(path, buffer, start, length); }
};

std::uint8_t sum(const std::vector<std::uint8_t>& bytes, std::size_t count)
{
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.begin() + count, 0u));
}

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

} // namespace

TEST(HexImageLoader, ImageHoldsTheDataThenAFillByteThenTheChecksum)
{
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::uint8_t> image;
    };
    const Case cases[] = {
        {"one record", ":0400000001020304F2\n:00000001FF\n", {0x01, 0x02, 0x03, 0x04, 0xFF, 0x09}},
        // CR LF, lower case, no final newline.
        {"lenient text", ":02000000abcd86\r\n:010002007786", {0xAB, 0xCD, 0x77, 0xFF, 0xEE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Loaded r = loadText(c.text);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.start, 0u);
        ASSERT_EQ(r.length, c.image.size());
        ASSERT_EQ(r.buffer.size(), HexImageLoader::kBufferSize);
        EXPECT_EQ(std::vector<std::uint8_t>(r.buffer.begin(), r.buffer.begin() + static_cast<long>(r.length)),
                  c.image);
        // Everything past the image is the fill.
        EXPECT_TRUE(std::all_of(r.buffer.begin() + static_cast<long>(r.length), r.buffer.end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST(HexImageLoader, ImageAlwaysStartsAtZeroWithTheGapFilled)
{
    const std::vector<std::uint8_t> data = {0x10, 0x20, 0x30};
    const Loaded r = loadText(tf::hexRecord(0, 0x0100, data) + tf::endRecord());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.start, 0u);
    ASSERT_EQ(r.length, 0x100u + 3 + 2);
    for (std::size_t i = 0; i < 0x100; ++i)
        ASSERT_EQ(r.buffer[i], 0xFF) << i;
    EXPECT_EQ(r.buffer[0x100], 0x10);
    EXPECT_EQ(r.buffer[0x102], 0x30);
    EXPECT_EQ(r.buffer[0x103], 0xFF);
    // The gap counts in the checksum: 256 x 0xFF + 0x60 + 0xFF.
    EXPECT_EQ(r.buffer[0x104], static_cast<std::uint8_t>(256 * 0xFF + 0x60 + 0xFF));
    EXPECT_EQ(r.buffer[0x104], sum(r.buffer, 0x104));
}

TEST(HexImageLoader, RecordsAreAppliedInOrderAndTheHighestEndWins)
{
    const std::vector<std::uint8_t> first = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<std::uint8_t> second = {0xA1, 0xA2};
    const std::vector<std::uint8_t> early = {0x77};
    // A later record for the same address wins; a record below E does not shrink the image;
    // a record of zero bytes still moves E.
    const Loaded r = loadText(tf::hexRecord(0, 0x10, first) + tf::hexRecord(0, 0x12, second) +
                              tf::hexRecord(0, 0x00, early) + tf::endRecord());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.length, 0x18u + 2);
    EXPECT_EQ(r.buffer[0x00], 0x77);
    EXPECT_EQ(r.buffer[0x11], 2);
    EXPECT_EQ(r.buffer[0x12], 0xA1);
    EXPECT_EQ(r.buffer[0x13], 0xA2);
    EXPECT_EQ(r.buffer[0x14], 5);

    const Loaded empty = loadText(tf::hexRecord(0, 0x40, {}) + tf::hexRecord(0, 0x10, early));
    // (The empty record alone would be no image at all: see the refusals.)
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.length, 0x40u + 2);
}

TEST(HexImageLoader, SegmentRecordMovesLaterDataAndEachLoadStartsAtSegmentZero)
{
    const std::vector<std::uint8_t> data = {0xAB};
    const std::string text = ":020000021000EC\n" + tf::hexRecord(0, 0x0002, data);
    Session s;
    ASSERT_TRUE(s.text(text));
    EXPECT_EQ(s.length, 0x10003u + 2);
    EXPECT_EQ(s.buffer[0x10002], 0xAB);
    EXPECT_EQ(s.buffer[0x00002], 0xFF);

    // The same loader, a file without a segment record: the base is 0 again, and the previous
    // image is gone (everything refilled).
    ASSERT_TRUE(s.text(tf::hexRecord(0, 0x0002, data)));
    EXPECT_EQ(s.length, 3u + 2);
    EXPECT_EQ(s.buffer[0x00002], 0xAB);
    EXPECT_EQ(s.buffer[0x10002], 0xFF);
}

TEST(HexImageLoader, OtherKnownRecordTypesAreIgnoredAndReadingGoesOnAfterTheEnd)
{
    const std::vector<std::uint8_t> four = {0, 0, 0, 0};
    const std::vector<std::uint8_t> two = {0x00, 0x01};
    const std::vector<std::uint8_t> data = {0x42};
    // Types 3, 4 and 5 change nothing (a linear base of 1 would move the data to 0x10000).
    const Loaded r = loadText(tf::hexRecord(3, 0, four) + tf::hexRecord(4, 0, two) +
                              tf::hexRecord(5, 0, four) + tf::endRecord() + tf::hexRecord(0, 0x20, data));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.length, 0x21u + 2);
    EXPECT_EQ(r.buffer[0x20], 0x42);
}

const std::string kGoodRecord = ":0400000001020304F2";

TEST(HexImageLoader, LineLengthLimitIs1024CharactersWithoutTheTerminator)
{
    const std::string longest = kGoodRecord + std::string(1024 - kGoodRecord.size(), ' ');
    EXPECT_TRUE(loadText(longest + "\r\n").ok);
    EXPECT_TRUE(loadText(longest).ok);
    const Loaded tooLong = loadText(longest + " \n");
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.error, HexError::BadLineLength);
}

struct Rejection {
    const char* name;
    std::string text;
    HexError error;
    std::size_t line;
};

void PrintTo(const Rejection& r, std::ostream* os)
{
    *os << r.name;
}

class HexRejection : public testing::TestWithParam<Rejection> {};

TEST_P(HexRejection, RefusesTheWholeFileAndReportsTheLine)
{
    const Rejection& c = GetParam();
    const Loaded r = loadText(c.text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.line, c.line);
    // Nothing handed over.
    EXPECT_TRUE(r.buffer.empty());
    EXPECT_EQ(r.start, 12345u);
    EXPECT_EQ(r.length, 54321u);
}

const std::string kGood = ":0400000001020304F2\n";

INSTANTIATE_TEST_SUITE_P(
    EveryRule, HexRejection,
    testing::Values(
        Rejection{"BlankLine", kGood + "\n" + kGood, HexError::BadLineLength, 2},
        Rejection{"BlankCrLfLine", kGood + "\r\n", HexError::BadLineLength, 2},
        Rejection{"TrailingBlankLine", kGood + "\n", HexError::BadLineLength, 2},
        Rejection{"LineOf1025", ":00000001FF" + std::string(1025 - 11, ' ') + "\n", HexError::BadLineLength,
                  1},
        Rejection{"LeadingSpace", " " + kGood, HexError::MissingColon, 1},
        Rejection{"NoColon", kGood + "0400000001020304F2\n", HexError::MissingColon, 2},
        Rejection{"ShortHeader", ":0400000\n", HexError::BadRecordHeader, 1},
        Rejection{"ColonOnly", ":\n", HexError::BadRecordHeader, 1},
        Rejection{"NonHexCount", ":G400000001020304F2\n", HexError::BadRecordHeader, 1},
        Rejection{"SignedAddress", ":04-00000001020304F2\n", HexError::BadRecordHeader, 1},
        Rejection{"SpaceInHeader", ":04 000000102030405\n", HexError::BadRecordHeader, 1},
        Rejection{"NonHexType", ":040000x001020304F2\n", HexError::BadRecordHeader, 1},
        Rejection{"MissingDataDigits", ":04000000010203\n", HexError::BadData, 1},
        Rejection{"OddDataDigits", ":040000000102030\n", HexError::BadData, 1},
        Rejection{"SpaceInData", ":02000000AB CD\n", HexError::BadData, 1}, // data stops at white space
        Rejection{"NonHexDataPair", ":04000000010G0304F2\n", HexError::BadData, 1},
        Rejection{"MissingSegment", ":02000002\n", HexError::BadData, 1},
        Rejection{"NonHexSegment", ":0200000210Z0EC\n", HexError::BadData, 1},
        // Damaged records: a firmware file with one of them must not be flashed.
        Rejection{"WrongChecksum", kGood + ":0400040001020304EF\n", HexError::BadChecksum, 2},
        Rejection{"ChecksumOfZeroes", ":02000000ABCD00\n", HexError::BadChecksum, 1},
        Rejection{"FlippedDataDigit", ":0400000001020314F2\n", HexError::BadChecksum, 1},
        Rejection{"BadEndRecordChecksum", kGood + ":00000001FE\n", HexError::BadChecksum, 2},
        Rejection{"BadSegmentChecksum", ":020000021000ED\n" + kGood, HexError::BadChecksum, 1},
        Rejection{"ChecksumMissing", ":0100020077\n", HexError::BadData, 1},
        Rejection{"ChecksumHalf", ":01000200778\n", HexError::BadData, 1},
        Rejection{"ExtraDigits", ":0100020077860\n", HexError::BadData, 1},
        Rejection{"SegmentTooShort", ":0100000210ED\n", HexError::BadData, 1},
        // Nothing to send: no data record, or only records without bytes.
        Rejection{"EmptyFile", "", HexError::NoData, 0},
        Rejection{"OnlyAnEndRecord", ":00000001FF\n", HexError::NoData, 0},
        Rejection{"OnlyEmptyDataRecords", ":00004000C0\n:00000001FF\n", HexError::NoData, 0},
        Rejection{"RecordType6", ":00000006FA\n", HexError::UnknownRecordType, 1},
        Rejection{"RecordTypeFF", kGood + ":000000FF01\n", HexError::UnknownRecordType, 2},
        Rejection{"EndsAtTheTopOfMemory",
                  tf::segmentRecord(0xF000) + tf::hexRecord(0, 0xFFF0, std::vector<std::uint8_t>(16, 1)),
                  HexError::AddressOutOfRange, 2},
        Rejection{"EmptyRecordAtTheTop", tf::segmentRecord(0xFFFF) + ":00001000F0\n",
                  HexError::AddressOutOfRange, 2},
        Rejection{"SegmentWrapIsNotAllowed",
                  tf::segmentRecord(0xFFFF) + tf::hexRecord(0, 0xFFFF, std::vector<std::uint8_t>(1, 0x55)),
                  HexError::AddressOutOfRange, 2}),
    [](const testing::TestParamInfo<Rejection>& info) { return info.param.name; });

TEST(HexImageLoader, DataEndingAtTheLastAddressPutsTheChecksumPastTheAddressSpace)
{
    std::vector<std::uint8_t> data(15);
    std::iota(data.begin(), data.end(), 1);
    const Loaded r = loadText(tf::segmentRecord(0xF000) + tf::hexRecord(0, 0xFFF0, data));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.length, 0x100001u);
    EXPECT_EQ(r.buffer[0xFFFF0], 1);
    EXPECT_EQ(r.buffer[0xFFFFE], 15);
    EXPECT_EQ(r.buffer[0xFFFFF], 0xFF);
    EXPECT_EQ(r.buffer[0x100000], sum(r.buffer, 0x100000));
}

TEST(HexImageLoader, FailedLoadKeepsThePreviousImage)
{
    Session s;
    ASSERT_TRUE(s.text(kGood));
    const std::vector<std::uint8_t> before = s.buffer;
    // The refused file stores data before the bad line; none of it may reach the caller.
    const std::vector<std::uint8_t> junk(16, 0x00);
    EXPECT_FALSE(s.text(tf::hexRecord(0, 0, junk) + ":0400000001\n"));
    EXPECT_EQ(s.buffer, before);
    EXPECT_EQ(s.start, 0u);
    EXPECT_EQ(s.length, 6u);
    EXPECT_FALSE(s.loader.errorText().empty());
    // And a later good load works from a clean fill again.
    ASSERT_TRUE(s.text(tf::hexRecord(0, 0x20, junk)));
    EXPECT_EQ(s.buffer[0], 0xFF);
    EXPECT_EQ(s.length, 0x30u + 2);
}

TEST(HexImageLoader, LargeFileFromDiskMatchesTheSourceImage)
{
    // Larger than the loader's read block, with segment records, so lines cross block ends.
    const std::vector<std::uint8_t> image = randomBytes(0x4A123, 7);
    const std::string text = tf::hexFromImage(image, 0, 16);
    testsupport::TempFolder folder("tessaban-firmware");
    const std::string path = folder.file("big.hex");
    ASSERT_TRUE(tf::writeFile(path, text));

    Session s;
    s.start = 1;
    ASSERT_TRUE(s.file(path)) << s.loader.errorText();
    EXPECT_EQ(s.start, 0u);
    ASSERT_EQ(s.length, image.size() + 2);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), s.buffer.begin()));
    EXPECT_EQ(s.buffer[image.size()], 0xFF);
    EXPECT_EQ(s.buffer[image.size() + 1], sum(s.buffer, image.size() + 1));

    // The in-memory route gives the same image.
    Session fromText;
    fromText.start = 1;
    ASSERT_TRUE(fromText.text(text));
    EXPECT_EQ(fromText.start, 0u);
    EXPECT_EQ(fromText.length, s.length);
    EXPECT_EQ(fromText.buffer, s.buffer);
}

TEST(HexImageLoader, RefusalsDeepInALargeFileNameTheRightLine)
{
    const std::vector<std::uint8_t> image = randomBytes(0x40000, 3);
    const std::string good = tf::hexFromImage(image, 0, 32);
    const std::size_t lines = static_cast<std::size_t>(std::count(good.begin(), good.end(), '\n'));
    testsupport::TempFolder folder("tessaban-firmware");
    Session s;

    // An overlong line spanning a block end, without a newline in the next block either.
    ASSERT_TRUE(tf::writeFile(folder.file("long.hex"), good + ":" + std::string(400000, '0')));
    EXPECT_FALSE(s.file(folder.file("long.hex")));
    EXPECT_EQ(s.loader.error(), HexError::BadLineLength);
    EXPECT_EQ(s.loader.errorLine(), lines + 1);

    ASSERT_TRUE(tf::writeFile(folder.file("bad.hex"), good + "junk\n" + good));
    EXPECT_FALSE(s.file(folder.file("bad.hex")));
    EXPECT_EQ(s.loader.error(), HexError::MissingColon);
    EXPECT_EQ(s.loader.errorLine(), lines + 1);
    EXPECT_TRUE(s.buffer.empty());
}

TEST(HexImageLoader, MissingFileReportsTheSystemReason)
{
    testsupport::TempFolder folder("tessaban-firmware");
    Session s;
    EXPECT_FALSE(s.file(folder.file("absent.hex")));
    EXPECT_EQ(s.loader.error(), HexError::CannotOpen);
    EXPECT_NE(s.loader.errorText().find("No such file"), std::string::npos) << s.loader.errorText();

    // A folder opens but cannot be read.
    EXPECT_FALSE(s.file(folder.path().string()));
    EXPECT_EQ(s.loader.error(), HexError::ReadFailed);
    EXPECT_TRUE(s.buffer.empty());
}
