#include "termcore/HexConverter.h"
#include "termcore/ReceiveCapture.h"
#include "termcore/TransmitJob.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numeric>
#include <vector>

namespace fs = std::filesystem;
using termcore::convertIntelHex;
using termcore::HexConversion;
using termcore::ReceiveCapture;
using termcore::TransmitJob;
using testsupport::TempFolder;

namespace {

struct Recorder {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> chunks;
    TransmitJob::Writer writer()
    {
        return [this](const uint8_t* d, size_t n) {
            std::lock_guard lock(mutex);
            chunks.emplace_back(d, d + n);
            return true;
        };
    }
    std::vector<uint8_t> all()
    {
        std::vector<uint8_t> out;
        for (auto& c : chunks)
            out.insert(out.end(), c.begin(), c.end());
        return out;
    }
};

TransmitJob::Outcome runJob(const std::string& path, bool sum, Recorder& rec, TransmitJob* job)
{
    static std::atomic<bool> on, off;
    on = true;
    off = false;
    EXPECT_TRUE(job->open(path));
    EXPECT_TRUE(job->start(rec.writer(), sum ? &on : &off));
    return job->finish();
}

std::string pattern(size_t n)
{
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 + 3);
    return s;
}

const char* kGapHex = ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                      ":10002000101112131415161718191A1B1C1D1E1F58\r\n"
                      ":00000001FF\r\n";

TEST(RawSender, ChunksOfHundredThenTheRestThenTheSum)
{
    struct Case {
        size_t size;
        bool sum;
        std::vector<size_t> chunks;
    };
    TempFolder dir("termcore");
    for (const Case& c : {Case{250, true, {100, 100, 50, 1}}, Case{100, false, {100}}, Case{0, false, {}},
                          Case{0, true, {1}}}) {
        SCOPED_TRACE(std::to_string(c.size) + (c.sum ? " bytes with sum" : " bytes"));
        const std::string data = pattern(c.size);
        Recorder rec;
        TransmitJob job;
        EXPECT_EQ(runJob(dir.write("a.bin", data), c.sum, rec, &job), TransmitJob::Outcome::Succeeded);
        std::vector<size_t> sizes;
        for (const auto& chunk : rec.chunks)
            sizes.push_back(chunk.size());
        ASSERT_EQ(sizes, c.chunks);
        const auto all = rec.all();
        EXPECT_EQ(std::string(all.begin(), all.begin() + static_cast<long>(c.size)), data);
        uint8_t sum = 0;
        for (char ch : data)
            sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(ch));
        if (c.sum) { // an empty file still gets its (zero) sum byte
            EXPECT_EQ(all.back(), sum);
        }
        EXPECT_EQ(job.sentBytes(), c.size);
        EXPECT_EQ(job.totalBytes(), c.size);
    }
}

TEST(RawSender, WriteFailureEndsTheJobAndNothingMoreIsWritten)
{
    TempFolder dir("termcore");
    int calls = 0;
    TransmitJob job;
    ASSERT_TRUE(job.open(dir.write("f.bin", pattern(1000))));
    std::atomic<bool> on{true};
    job.start([&](const uint8_t*, size_t) { return ++calls < 2; }, &on);
    EXPECT_EQ(job.finish(), TransmitJob::Outcome::WriteFailed);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(job.sentBytes(), 100u);
}

TEST(RawSender, MissingFileAndDirectoryDoNotOpen)
{
    TempFolder dir("termcore");
    TransmitJob job;
    EXPECT_FALSE(job.open((dir.path() / "nothing.bin").string()));
    EXPECT_FALSE(job.open(dir.path().string()));
    EXPECT_FALSE(job.active());
}

TEST(TransmitCancel, NoChunkIsWrittenAfterCancelReturns)
{
    TempFolder dir("termcore");
    std::mutex m;
    std::condition_variable cv;
    int written = 0;
    bool release = false;
    TransmitJob job;
    ASSERT_TRUE(job.open(dir.write("big.bin", pattern(100000))));
    std::atomic<bool> off{false};
    ASSERT_TRUE(job.start(
        [&](const uint8_t*, size_t) {
            std::unique_lock lock(m);
            ++written;
            cv.notify_all();
            // The second chunk is "on the wire" until the test lets it finish.
            if (written == 2)
                cv.wait_for(lock, std::chrono::seconds(5), [&] { return release; });
            return true;
        },
        &off));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return written >= 2; }));
    }
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard lock(m);
        release = true;
        cv.notify_all();
    });
    job.cancel();
    releaser.join();
    const int atCancel = written;
    EXPECT_EQ(job.outcome(), TransmitJob::Outcome::Cancelled);
    EXPECT_EQ(job.finish(), TransmitJob::Outcome::Cancelled);
    EXPECT_EQ(written, atCancel);
    EXPECT_EQ(written, 2);
    EXPECT_FALSE(job.active());
    // finish() twice releases nothing twice.
    EXPECT_EQ(job.finish(), TransmitJob::Outcome::Cancelled);
}

TEST(HexSender, GapBetweenRecordsIsFilledAndSummed)
{
    TempFolder dir("termcore");
    for (bool sum : {false, true}) {
        Recorder rec;
        TransmitJob job;
        EXPECT_EQ(runJob(dir.write("gap.HEX", kGapHex), sum, rec, &job), TransmitJob::Outcome::Succeeded);
        const auto all = rec.all();
        ASSERT_EQ(all.size(), sum ? 49u : 48u);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(all[static_cast<size_t>(i)], i);
            EXPECT_EQ(all[static_cast<size_t>(16 + i)], 0xFF);
            EXPECT_EQ(all[static_cast<size_t>(32 + i)], 0x10 + i);
        }
        if (sum) {
            const uint8_t expected = static_cast<uint8_t>(std::accumulate(all.begin(), all.begin() + 48, 0));
            EXPECT_EQ(all[48], expected);
        }
        EXPECT_TRUE(job.isHex());
    }
}

TEST(HexSender, FailureSendsNothingAndKeepsItsCode)
{
    TempFolder dir("termcore");
    Recorder rec;
    TransmitJob job;
    EXPECT_EQ(runJob(dir.write("bad.hex", ":10000000000102030405060708090A0B0C0D0E0F78\n"), true, rec, &job),
              TransmitJob::Outcome::HexFailed);
    EXPECT_EQ(job.hexCode(), 0);
    EXPECT_TRUE(rec.chunks.empty());
}

TEST(HexConverter, LargeImageGoesInChunksFromLowestAddress)
{
    std::string text;
    char line[64];
    for (int a = 0x1000; a < 0x1000 + 0x150; a += 0x10) {
        std::snprintf(line, sizeof line, ":10%04X00%s00\n", a, std::string(32, 'A').c_str());
        text += line;
    }
    text += ":00000001FF\n";
    const HexConversion c = convertIntelHex(text, false);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.lowest, 0x1000u);
    EXPECT_EQ(c.sendSize(), 0x150u);
    EXPECT_EQ(c.sendData()[0], 0xAA);
}

TEST(HexConverter, SegmentRecordsMoveTheData)
{
    const HexConversion c = convertIntelHex(":020000021000EC\n:0100000042BD\n:00000001FF\n", false);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.lowest, 0x10000u);
    EXPECT_EQ(c.image[0x10000], 0x42);
}

TEST(HexConverter, ChecksumsAreNotVerifiedAndBlanksAreIgnored)
{
    const HexConversion c = convertIntelHex(": 02 0000\t00 12 34 00\r\n:00000001FF", false);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.sendSize(), 2u);
    EXPECT_EQ(c.image[0], 0x12);
    EXPECT_EQ(c.image[1], 0x34);
}

TEST(HexConverter, BadFilesAreRefusedWithTheirCodeNotOverread)
{
    const std::string end = ":00000001FF\n";
    const std::vector<std::pair<std::string, HexConversion::Code>> cases = {
        {" :0100000042BD\n" + end, HexConversion::BadLine},                  // leading blank
        {"\n" + end, HexConversion::BadLine},                                // empty line
        {":10000000AABB\n" + end, HexConversion::BadLine},                   // fewer data digits than counted
        {":0100\n" + end, HexConversion::BadLine},                           // header too short
        {":" + std::string(2000, '0') + "\n" + end, HexConversion::BadLine}, // longer than the line buffer
        {":00000006FA\n" + end, HexConversion::BadRecordType},
        {":0100000042BD\n", HexConversion::NoEndRecord},
        {"", HexConversion::NoEndRecord},
        {":02000002F0000C\n:02FFFE00AABB00\n" + end, HexConversion::OutOfRange}, // one byte past 0xFFFFF
    };
    for (const auto& [text, code] : cases)
        EXPECT_EQ(convertIntelHex(text, false).code, code) << text.substr(0, 40);
}

TEST(HexConverter, OtherRecordTypesAndLinesAfterTheEndChangeNothing)
{
    // Type 04 has no effect, type 03 and 05 neither.
    const HexConversion c =
        convertIntelHex(":020000040001F9\n:0400000300001000E9\n:0100000042BD\n:00000001FF\n", false);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.lowest, 0u);
    EXPECT_TRUE(convertIntelHex(":00000001FF\ngarbage\n", false).ok());
}

TEST(HexConverter, TopOfImage)
{
    // Segment 0xF000 * 16 = 0xF0000; 0xFFFF + 0xF0000 = 0xFFFFF.
    const HexConversion ok = convertIntelHex(":02000002F0000C\n:02FFFD00AABB00\n:00000001FF\n", true);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.highest, 0xFFFFFu); // the sum byte fits
    EXPECT_EQ(ok.image[0xFFFFF], static_cast<uint8_t>(0xAA + 0xBB));
}

TEST(HexConverter, ZeroLengthRecordsStretchNothing)
{
    // With no data, nothing is sent.
    const HexConversion empty = convertIntelHex(":0000000000\n:00000001FF\n", true);
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(empty.sendSize(), 0u);
    const HexConversion one = convertIntelHex(":0000000000\n:0100100042BD\n:00000001FF\n", false);
    EXPECT_EQ(one.lowest, 0x10u);
    EXPECT_EQ(one.sendSize(), 1u);
}

TEST(HexFileName, ThreeCharactersAfterTheLastDot)
{
    EXPECT_TRUE(termcore::isHexFileName("a/b.hex"));
    EXPECT_TRUE(termcore::isHexFileName("B.HeX"));
    EXPECT_TRUE(termcore::isHexFileName("x.hexadecimal"));
    EXPECT_FALSE(termcore::isHexFileName("x.he"));
    EXPECT_FALSE(termcore::isHexFileName("x.hex.bin"));
    EXPECT_FALSE(termcore::isHexFileName("hex"));
}

TEST(ReceiveCapture, StagesInKilobytesAndFlushesAtStop)
{
    TempFolder dir("termcore");
    const std::string path = (dir.path() / "cap.bin").string();
    ReceiveCapture cap;
    ASSERT_EQ(cap.create(path, false), ReceiveCapture::CreateResult::Created);
    const std::string data = pattern(3000);
    std::vector<uintmax_t> sizes;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(cap.captureBlock(reinterpret_cast<const uint8_t*>(data.data()) + i * 1000, 1000));
        sizes.push_back(fs::file_size(path));
    }
    EXPECT_EQ(sizes, (std::vector<uintmax_t>{0, 1000, 2000}));
    EXPECT_EQ(cap.receivedBytes(), 3000u);
    EXPECT_TRUE(cap.stop());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), data);
}

TEST(ReceiveCapture, ExistingFileNeedsTruncateAndWriteFailureStops)
{
    TempFolder dir("termcore");
    const std::string path = dir.write("old.bin", "old content");
    ReceiveCapture cap;
    EXPECT_EQ(cap.create(path, false), ReceiveCapture::CreateResult::Exists);
    EXPECT_EQ(cap.create((dir.path() / "no/such/dir").string(), true), ReceiveCapture::CreateResult::Failed);
    ASSERT_EQ(cap.create(path, true), ReceiveCapture::CreateResult::Created);
    EXPECT_EQ(fs::file_size(path), 0u);
    cap.stop();
    if (fs::exists("/dev/full")) {
        ReceiveCapture full;
        ASSERT_EQ(full.create("/dev/full", true), ReceiveCapture::CreateResult::Created);
        const std::string block = pattern(1024);
        EXPECT_TRUE(full.captureBlock(reinterpret_cast<const uint8_t*>(block.data()), 1024));
        EXPECT_FALSE(full.captureBlock(reinterpret_cast<const uint8_t*>(block.data()), 1));
        EXPECT_FALSE(full.active());
    }
}

} // namespace
