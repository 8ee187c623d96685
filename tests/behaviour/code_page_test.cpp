// The program file's code page: every byte comes back from the screen as it was, and a character
// without a byte is refused whole instead of being turned into "?".

#include "behaviour/CodePage.h"

#include <gtest/gtest.h>

using behaviour::codePageToUtf8;
using behaviour::utf8ToCodePage;

TEST(CodePage, EveryByteSurvivesTheWayToTheScreenAndBack)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const auto back = utf8ToCodePage(codePageToUtf8(all));
    ASSERT_TRUE(back.bytes);
    EXPECT_EQ(*back.bytes, all);
    // The bytes where the code page differs from Latin-1 show their own characters.
    EXPECT_EQ(codePageToUtf8("\x80\x85\x99\x9f"), "€…™Ÿ");
}

TEST(CodePage, TypedTextIsStoredOrRefusedWithTheCharactersItCannotHold)
{
    struct Case {
        const char* typed;
        const char* bytes; // nullptr: refused
        const char* refused;
    };
    const Case cases[] = {
        {"Größe",
         "Gr\xf6\xdf"
         "e",
         ""},
        {"5 € – “quoted”", "5 \x80 \x96 \x93quoted\x94", ""},
        {"Größe Ω→日本", nullptr, "Ω→日本"},
        {"α", nullptr, "α"},
        {"αβα", nullptr, "αβ"},     // each refused character named once
        {"bad\xff", nullptr, "�"},  // malformed input is not stored either
        {"\xc0\xaf", nullptr, "�"}, // an overlong slash
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto r = utf8ToCodePage(c.typed);
        EXPECT_EQ(r.bytes.has_value(), c.bytes != nullptr);
        if (c.bytes) {
            EXPECT_EQ(*r.bytes, c.bytes);
        }
        EXPECT_EQ(r.refused, c.refused);
    }
}
