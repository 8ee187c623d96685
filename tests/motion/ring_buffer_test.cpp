// The receive ring shared by the reader thread and the UI thread. Run under TSan as well.

#include "motion/ByteRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using motion::ByteRing;

TEST(ByteRingTest, KeepsOneSlotFreeAndDropsAChunkThatDoesNotFitWhole)
{
    ByteRing ring;
    std::vector<uint8_t> chunk(ByteRing::kCapacity - 10, 7);
    ASSERT_TRUE(ring.append(chunk.data(), chunk.size()));
    uint8_t eleven[11] = {};
    EXPECT_FALSE(ring.append(eleven, sizeof eleven)); // dropped whole, not cut
    EXPECT_EQ(ring.count(), ByteRing::kCapacity - 10);
    ASSERT_TRUE(ring.append(eleven, 10));
    EXPECT_EQ(ring.count(), ByteRing::kCapacity);
    uint8_t one = 1;
    EXPECT_FALSE(ring.append(&one, 1));

    std::vector<uint8_t> out(ByteRing::kSize);
    EXPECT_EQ(ring.take(out.data(), 100), 100u);
    ASSERT_TRUE(ring.append(eleven, 11)); // wraps around the end
    ring.discardAll();
    EXPECT_EQ(ring.count(), 0u);
    const uint8_t tail[] = {1, 2, 3};
    ASSERT_TRUE(ring.append(tail, 3));
    EXPECT_EQ(ring.peek(out.data(), 10), 3u);
    EXPECT_EQ(ring.take(out.data(), 10), 3u);
    EXPECT_EQ(out[2], 3);
}

TEST(ByteRingTest, ProducerAndConsumerThreadsSeeEveryByteInOrder)
{
    ByteRing ring;
    constexpr uint32_t kTotal = 400000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        uint32_t next = 0;
        uint8_t chunk[97];
        while (next < kTotal) {
            size_t n = std::min<uint32_t>(sizeof chunk, kTotal - next);
            for (size_t i = 0; i < n; ++i)
                chunk[i] = static_cast<uint8_t>((next + i) * 31);
            if (ring.append(chunk, n))
                next += static_cast<uint32_t>(n);
            else
                std::this_thread::yield();
        }
        done = true;
    });
    uint32_t seen = 0;
    uint8_t buf[300];
    while (seen < kTotal) {
        size_t n = ring.take(buf, sizeof buf);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(buf[i], static_cast<uint8_t>((seen + i) * 31)) << "at " << seen + i;
        seen += static_cast<uint32_t>(n);
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(ring.count(), 0u);
}

TEST(ByteRingTest, DiscardingWhileTheProducerAppendsNeverSplitsAChunk)
{
    // Chunks are runs of one value; after a discard the consumer must see only whole runs.
    ByteRing ring;
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        uint8_t value = 0;
        uint8_t chunk[64];
        while (!stop) {
            std::fill(std::begin(chunk), std::end(chunk), value);
            if (ring.append(chunk, sizeof chunk))
                ++value;
        }
    });
    uint8_t buf[64];
    for (int round = 0; round < 20000; ++round) {
        ring.discardAll();
        size_t n = ring.take(buf, sizeof buf);
        if (n == sizeof buf) {
            for (size_t i = 1; i < n; ++i)
                ASSERT_EQ(buf[i], buf[0]);
        }
    }
    stop = true;
    producer.join();
}
