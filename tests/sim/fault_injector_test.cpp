// The faults on their own: which bytes of the controller's output reach the PC after drop,
// garble, vanish, stall and silence.

#include "sim/FaultInjector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Take {
    int64_t at;
    size_t maxBytes;
    std::string expected;
};

struct Case {
    const char* what;
    void (*inject)(sim::FaultInjector& faults);
    std::vector<Take> takes;
    bool vanished;
};

std::string garbled(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(static_cast<uint8_t>(c) ^ 0xA5);
    return text;
}

} // namespace

TEST(FaultInjector, PassesDropsGarblesAndHoldsTheOutputAsInjected)
{
    const Case cases[] = {
        {"no fault", [](sim::FaultInjector&) {}, {{0, SIZE_MAX, "ABCDEFGH"}}, false},
        {"drop", [](sim::FaultInjector& f) { f.drop(3); }, {{0, 2, ""}, {0, SIZE_MAX, "DEFGH"}}, false},
        {"garble",
         [](sim::FaultInjector& f) { f.garble(2); },
         {{0, SIZE_MAX, garbled("AB") + "CDEFGH"}},
         false},
        {"dropped bytes are not garbled too",
         [](sim::FaultInjector& f) {
             f.drop(2);
             f.garble(2);
         },
         {{0, SIZE_MAX, garbled("CD") + "EFGH"}},
         false},
        {"vanish after five bytes",
         [](sim::FaultInjector& f) { f.vanishAfter(5); },
         {{0, 3, "ABC"}, {0, SIZE_MAX, "DE"}, {0, SIZE_MAX, ""}},
         true},
        {"vanish at once", [](sim::FaultInjector& f) { f.vanishAfter(0); }, {{0, SIZE_MAX, ""}}, true},
        {"a stall holds the output until it ends",
         [](sim::FaultInjector& f) { f.stallFor(0, 100); },
         {{99, SIZE_MAX, ""}, {100, SIZE_MAX, "ABCDEFGH"}},
         false},
        {"silence throws the output away",
         [](sim::FaultInjector& f) { f.silence(); },
         {{0, SIZE_MAX, ""}},
         false},
        {"power off ends the silence",
         [](sim::FaultInjector& f) {
             f.silence();
             f.powerOff();
         },
         {{0, SIZE_MAX, ""}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out = "ABCDEFGH";
        sim::FaultInjector faults(out);
        c.inject(faults);
        for (const Take& take : c.takes)
            EXPECT_EQ(faults.take(take.maxBytes, take.at), take.expected) << "at " << take.at;
        EXPECT_EQ(faults.vanished(), c.vanished);
        // Once vanished or silent, nothing queued later reaches the PC either.
        out += "IJ";
        const bool listening = !c.vanished && !faults.silent();
        EXPECT_EQ(faults.listening(), listening);
        EXPECT_EQ(faults.take(SIZE_MAX, 1000), listening ? "IJ" : "");
    }
}

TEST(FaultInjector, InputHeldDuringAStallComesBackOnceInOrder)
{
    std::string out;
    sim::FaultInjector faults(out);
    const uint8_t first[] = {'a', 'b'};
    const uint8_t second[] = {'c'};
    faults.holdInput(first, sizeof first);
    faults.holdInput(second, sizeof second);
    ASSERT_TRUE(faults.holdingInput());
    EXPECT_EQ(faults.releaseInput(), "abc");
    EXPECT_FALSE(faults.holdingInput());
    EXPECT_EQ(faults.releaseInput(), "");
    faults.holdInput(first, sizeof first);
    faults.powerOff();
    EXPECT_FALSE(faults.holdingInput()) << "held input is lost with the power";
}
