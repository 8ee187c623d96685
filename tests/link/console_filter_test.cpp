#include "link/ConsoleFilter.h"

#include <gtest/gtest.h>

#include <random>

using comm::ConsoleEdit;
using comm::ConsoleFilter;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// What a pane that only applies the edits would show.
void applyEdit(std::string& shown, const ConsoleEdit& edit)
{
    if (edit.trimmed)
        shown.replace(0, edit.trimmedCount, " ");
    shown.replace(edit.replaceFrom, edit.replaceTo - edit.replaceFrom, edit.inserted);
}

// A text of n characters whose every position can be told apart from its neighbours.
std::string pattern(std::size_t n)
{
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('A' + i % 26);
    return s;
}

} // namespace

TEST(ConsoleFilter, KeepsPrintableAsciiBackspaceAndCarriageReturnOnly)
{
    ConsoleFilter console;
    std::string all;
    for (int c = 0; c < 256; ++c)
        if (c != 0x08)
            all.push_back(static_cast<char>(c));
    console.append(all);
    std::string expected = "\r";
    for (int c = 0x20; c <= 0x7E; ++c)
        expected.push_back(static_cast<char>(c));
    EXPECT_EQ(console.text(), expected);

    ConsoleFilter other;
    other.append(bytes({'a', 0x08, 'b', 0x09, 0x7F, 0x80, 0xFF, 0x00, 'c'}));
    EXPECT_EQ(other.text(), bytes({'a', 0x08, 'b', 'c'}));
}

TEST(ConsoleFilter, LineFeedStaysOnlyRightAfterACarriageReturn)
{
    ConsoleFilter console;
    console.append("AB\nC");
    EXPECT_EQ(console.text(), "ABC");
    console.append("\r\nD\n\r\r\n");
    EXPECT_EQ(console.text(), "ABC\r\nD\r\r\n");
    // A dropped byte between them breaks the pair.
    console.append(bytes({'\r', 0x01, '\n'}));
    EXPECT_EQ(console.text(), "ABC\r\nD\r\r\n\r");
    EXPECT_FALSE(console.lastWasCR());
}

TEST(ConsoleFilter, CarriageReturnAndLineFeedPairAcrossChunks)
{
    ConsoleFilter console;
    console.append("one\r");
    EXPECT_TRUE(console.lastWasCR());
    console.append("\ntwo\r");
    console.append("x\n");
    EXPECT_EQ(console.text(), "one\r\ntwo\rx");
    // Clearing the pane keeps the pairing: the LF still belongs to the CR before it.
    console.append("\r");
    console.clear();
    EXPECT_EQ(console.text(), " ");
    console.append("\nz");
    EXPECT_EQ(console.text(), " \nz");
    // Leading backspaces are not bytes of the text and do not break a pair either: the LF is
    // kept and takes the place of the erased 'z', before the CR that stays last.
    console.append("\r");
    console.append(bytes({0x08, '\n'}));
    EXPECT_EQ(console.text(), " \n\n\r");
}

TEST(ConsoleFilter, LeadingBackspacesEraseBeforeTheLastCharacterShownButNeverBeforeTheStart)
{
    // With b characters shown and k leading backspaces, characters [b - k - 1, b - 1) are replaced
    // by the chunk's text: the last character shown stays.
    struct Case {
        std::string before, chunk, after;
        std::size_t from, to;
    };
    const Case cases[] = {
        {"hello", bytes({0x08, 0x08, 'X', 'Y'}), "heXYo", 2, 4},
        {"ab", bytes({0x08, 0x08, 0x08, 0x08, 0x08, 'Z'}), "Zb", 0, 1},
        {"", bytes({0x08, 0x08, 'Q'}), "Q", 0, 0},
        {"abcdef", bytes({0x08, 0x08}), "abcf", 3, 5},
    };
    for (const Case& c : cases) {
        ConsoleFilter console;
        console.append(c.before);
        const ConsoleEdit edit = console.append(c.chunk);
        EXPECT_EQ(console.text(), c.after) << c.before;
        EXPECT_EQ(edit.replaceFrom, c.from) << c.before;
        EXPECT_EQ(edit.replaceTo, c.to) << c.before;
        EXPECT_EQ(edit.inserted, c.after.substr(c.from, c.after.size() - c.before.size() + c.to - c.from))
            << c.before;
    }

    // Only the backspaces at the very start erase; later ones are kept as text.
    ConsoleFilter console;
    console.append("heXYo");
    console.append(bytes({0x08, 'Q', 0x08}));
    EXPECT_EQ(console.text(), bytes({'h', 'e', 'X', 'Q', 0x08, 'o'}));
}

TEST(ConsoleFilter, TextIsHalvedWhenAChunkReachesTheLimit)
{
    ConsoleFilter console;
    const std::string first = pattern(999990);
    console.append(first);
    ASSERT_EQ(console.text(), first);

    // 999,990 + 9 stays below the limit.
    console.append("123456789");
    EXPECT_EQ(console.text().size(), 999999u);

    // One more byte reaches it: characters 0 .. 499,999 become a single space.
    const ConsoleEdit edit = console.append("!");
    EXPECT_TRUE(edit.trimmed);
    EXPECT_EQ(edit.trimmedCount, 500000u);
    ASSERT_EQ(console.text().size(), 1u + 499999u + 1u);
    EXPECT_EQ(console.text()[0], ' ');
    EXPECT_EQ(console.text().substr(1, 10), first.substr(500000, 10));
    EXPECT_EQ(console.text().substr(console.text().size() - 3), "89!");

    // Nothing at all happens for an empty chunk.
    const std::string before = console.text();
    const ConsoleEdit none = console.append(nullptr, 0);
    EXPECT_FALSE(none.trimmed);
    EXPECT_EQ(console.text(), before);
}

TEST(ConsoleFilter, BackspaceRangeIsMeasuredAfterTheTrim)
{
    ConsoleFilter console;
    const std::string first = pattern(999998);
    console.append(first);
    console.append(bytes({0x08, 0x08, 'X', 'Y'}));
    // After the trim the text is " " + first[500000..]; the two characters before its last
    // one are erased and replaced, the last stays.
    std::string expected = " " + first.substr(500000);
    expected.replace(expected.size() - 3, 2, "XY");
    EXPECT_EQ(console.text(), expected);
    EXPECT_EQ(console.text().back(), first.back());
}

TEST(ConsoleFilter, OneHugeChunkNeverGrowsThePanePastTheLimit)
{
    ConsoleFilter console;
    console.append("old");
    std::string huge = pattern(2500000);
    huge += "END";
    console.append(huge);
    EXPECT_EQ(console.text().size(), ConsoleFilter::kTextLimit);
    EXPECT_EQ(console.text().substr(console.text().size() - 3), "END");
}

TEST(ConsoleFilter, EditsReproduceTheTextAcrossManyChunks)
{
    // A pane applying only the edits must always show exactly text(), trims included.
    std::mt19937 random(11);
    ConsoleFilter console;
    std::string shown;
    const int alphabet[] = {'a', 'b', '\r', '\n', 0x08, 0x08, 0x00, 0xFF, 'z'};
    for (int chunk = 0; chunk < 400; ++chunk) {
        const std::size_t size = random() % 8 == 0 ? 40000 + random() % 20000 : random() % 300;
        std::string bytesOut(size, 'x');
        for (char& c : bytesOut)
            c = static_cast<char>(alphabet[random() % std::size(alphabet)]);
        if (chunk % 5 == 0)
            bytesOut.insert(0, std::string(random() % 6, '\b'));
        applyEdit(shown, console.append(bytesOut));
        ASSERT_EQ(shown, console.text()) << "chunk " << chunk;
        ASSERT_LE(shown.size(), ConsoleFilter::kTextLimit);
    }
}
