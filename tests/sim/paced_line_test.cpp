// The simulator's line on a virtual clock: no byte is delivered before a real line could have
// carried it, an idle line builds no credit, and the PC's writes queue however fast they come.

#include "sim/PacedLine.h"
#include "support/VirtualClock.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

using sim::PacedLine;
using testsupport::VirtualClock;

namespace {

// The exact line time of count bytes at baud, in microseconds (not rounded).
double lineUs(size_t count, long baud)
{
    return count * 10.0 * 1e6 / static_cast<double>(baud);
}

struct Delivery {
    int64_t ms;
    std::string bytes;
};

std::vector<Delivery> deliver(PacedLine& line)
{
    std::vector<Delivery> got;
    line.deliverDue([&](int64_t ms, std::string_view bytes) { got.push_back({ms, std::string(bytes)}); });
    return got;
}

std::string joined(const std::vector<Delivery>& deliveries)
{
    std::string all;
    for (const auto& d : deliveries)
        all += d.bytes;
    return all;
}

} // namespace

TEST(PacedLine, DeliversABurstOneByteTimeApartAndNeverEarly)
{
    struct Case {
        long baud;
        size_t count;
    };
    const Case cases[] = {{57600, 200}, {9600, 50}, {115200, 300}, {50, 3}, {4000000, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        VirtualClock clock;
        const int64_t t0 = clock.nowUs();
        PacedLine line(c.baud, clock);
        std::string data;
        for (size_t i = 0; i < c.count; ++i)
            data.push_back(static_cast<char>(i));
        line.put(data.data(), data.size());
        EXPECT_EQ(line.queuedInput(), c.count);
        std::string got;
        // Walk to each byte's due time: just before it the byte is still on the line.
        for (size_t k = 1; k <= c.count; ++k) {
            const auto due = t0 + static_cast<int64_t>(std::ceil(lineUs(k, c.baud)));
            ASSERT_EQ(line.nextInputUs(), due) << "byte " << k;
            clock.set(due - 1);
            got += joined(deliver(line));
            ASSERT_EQ(got.size(), k - 1) << "byte " << k << " came early";
            clock.set(due);
            for (const Delivery& d : deliver(line)) {
                // The millisecond given with the bytes is never before their delivery.
                EXPECT_GE(d.ms * 1000.0, t0 + lineUs(got.size() + d.bytes.size(), c.baud));
                got += d.bytes;
            }
            ASSERT_EQ(got.size(), k);
        }
        EXPECT_EQ(got, data);
        EXPECT_EQ(line.queuedInput(), 0u);
        EXPECT_FALSE(line.nextInputUs());
    }
}

TEST(PacedLine, GroupsTheBytesOfOneMillisecond)
{
    VirtualClock clock(0);
    PacedLine line(57600, clock); // 5.76 bytes a millisecond
    const std::string data(100, 'x');
    line.put(data.data(), data.size());
    clock.set(20000);
    std::vector<Delivery> got = deliver(line);
    size_t total = 0;
    int64_t lastMs = 0;
    for (const Delivery& d : got) {
        EXPECT_GT(d.ms, lastMs) << "two runs in one millisecond";
        EXPECT_LE(d.bytes.size(), 6u);
        // Every byte of the run is through by its millisecond, and the run's first byte was
        // not yet through one millisecond before.
        total += d.bytes.size();
        EXPECT_GE(d.ms * 1000.0, lineUs(total, 57600));
        EXPECT_LT((d.ms - 1) * 1000.0, lineUs(total - d.bytes.size() + 1, 57600));
        lastMs = d.ms;
    }
    EXPECT_EQ(total, data.size()); // 115 would fit in 20 ms
    EXPECT_EQ(lastMs, static_cast<int64_t>(std::ceil(lineUs(100, 57600) / 1000)));
}

TEST(PacedLine, AnIdleLineBuildsNoCredit)
{
    // Bytes written after a pause start their line time when they are written, whatever the
    // pause; and bytes written while earlier ones are on the line queue behind them.
    struct Case {
        const char* what;
        int64_t pauseUs;     // from the first write to the second
        int64_t secondDueUs; // the first byte of the second write, from the start
    };
    const long baud = 10000; // 1000 us a byte
    const Case cases[] = {
        {"long idle", 5000000, 5000000 + 1000},
        {"just idle", 3000, 3000 + 1000},
        {"still busy", 1500, 3000 + 1000},
        {"at once", 0, 3000 + 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock(0);
        PacedLine line(baud, clock);
        line.put("abc", 3); // through at 1000, 2000, 3000
        clock.set(c.pauseUs);
        std::string first = joined(deliver(line));
        line.put("def", 3);
        clock.set(c.secondDueUs - 1);
        first += joined(deliver(line));
        EXPECT_EQ(first, "abc");
        clock.set(c.secondDueUs);
        EXPECT_EQ(joined(deliver(line)), "d");
        clock.set(c.secondDueUs + 2000);
        EXPECT_EQ(joined(deliver(line)), "ef");
    }
}

TEST(PacedLine, WritesAreTakenHoweverFastTheyCome)
{
    // A thousand small writes within a microsecond: all are queued, none is refused, and the
    // last byte is through only after the line time of all of them.
    VirtualClock clock(0);
    PacedLine line(57600, clock);
    for (int i = 0; i < 1000; ++i)
        line.put("0123456789", 10);
    EXPECT_EQ(line.queuedInput(), 10000u);
    const auto lastDue = static_cast<int64_t>(std::ceil(lineUs(10000, 57600)));
    clock.set(lastDue - 1);
    EXPECT_EQ(joined(deliver(line)).size(), 9999u);
    clock.set(lastDue);
    EXPECT_EQ(joined(deliver(line)).size(), 1u);
}

TEST(PacedLine, CarriesOutputAtTheLineRate)
{
    struct Step {
        int64_t atUs;
        size_t waiting;  // what the controller has to send then
        size_t expected; // what the line has carried of it by then
    };
    struct Case {
        const char* what;
        int64_t sinceUs; // when the output began to wait (outputWaiting), or -1
        std::vector<Step> steps;
    };
    const long baud = 10000; // 1000 us a byte
    const Case cases[] = {
        {"from the first look", -1, {{0, 5, 0}, {999, 5, 0}, {1000, 5, 1}, {3500, 4, 2}, {10000, 2, 2}}},
        {"from when it waited", -2500, {{0, 5, 2}, {500, 3, 1}, {1500, 2, 1}}},
        {"a pause earns nothing",
         -1,
         {{0, 1, 0}, {1000, 1, 1}, {9000, 0, 0}, {9000, 3, 0}, {9999, 3, 0}, {10000, 3, 1}}},
        {"never more than waits", -1, {{0, 2, 0}, {100000, 2, 2}, {100000, 5, 0}, {101000, 5, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock(0);
        PacedLine line(baud, clock);
        if (c.sinceUs != -1)
            line.outputWaiting(c.sinceUs);
        for (const Step& s : c.steps) {
            clock.set(s.atUs);
            EXPECT_EQ(line.carryOutput(s.waiting), s.expected) << "at " << s.atUs;
        }
    }
}

TEST(PacedLine, ReportsWhenTheNextOutputByteIsThrough)
{
    VirtualClock clock(0);
    PacedLine line(57600, clock);
    EXPECT_FALSE(line.nextOutputUs());
    line.outputWaiting(0);
    EXPECT_EQ(line.nextOutputUs(), 174); // 173.6 us, rounded up
    clock.set(174);
    EXPECT_EQ(line.carryOutput(10), 1u);
    EXPECT_EQ(line.nextOutputUs(), 348); // 347.2
    // Output already on the line is not restarted by a later note that it waits.
    line.outputWaiting(300);
    EXPECT_EQ(line.nextOutputUs(), 348);
    line.carryOutput(0);
    EXPECT_FALSE(line.nextOutputUs());
}

TEST(PacedLine, WithoutARateEverythingIsThroughAtOnce)
{
    VirtualClock clock(5000);
    PacedLine line(0, clock);
    EXPECT_FALSE(line.paced());
    line.put("hello", 5);
    line.put(" world", 6);
    EXPECT_EQ(line.nextInputUs(), 5000);
    std::vector<Delivery> got = deliver(line);
    EXPECT_EQ(joined(got), "hello world");
    EXPECT_EQ(got.front().ms, 5);
    EXPECT_EQ(line.carryOutput(12345), 12345u);
    EXPECT_FALSE(line.nextOutputUs());
}
