#include "firmware/RomContainer.h"

#include "firmware/FirmwareTestFiles.h"
#include "firmware/HexImageLoader.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using firmware::RomContents;
using firmware::RomError;
using firmware::unpackRom;
namespace tf = firmware::testfiles;

namespace {

std::span<const std::uint8_t> view(const std::vector<std::uint8_t>& bytes)
{
    return bytes;
}

std::string readAll(const std::string& path)
{
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

} // namespace

TEST(RomContainer, UnpacksTheTextAndTargetKind)
{
    const std::string text = ":0400000001020304F2\r\n:00000001FF\r\n";
    for (int kind : {firmware::kRomTargetServos, firmware::kRomTargetModules}) {
        RomContents out;
        RomError error = RomError::BadHeader;
        ASSERT_TRUE(unpackRom(view(tf::encodeRom(text, kind)), out, &error));
        EXPECT_EQ(error, RomError::None);
        EXPECT_EQ(out.targetKind, kind);
        EXPECT_EQ(out.hexText, text);
    }
}

TEST(RomContainer, DescramblesWithTheIndexModulo256AndIgnoresHighBytes)
{
    // A payload of words with low byte 0 and varying high bytes: text byte i is i mod 256, the
    // first being the ':' that opens a hex text when the low byte is 0x3A.
    std::vector<std::uint8_t> bytes = tf::encodeRom("", firmware::kRomTargetServos);
    const std::size_t words = 600;
    for (std::size_t i = 0; i < words; ++i) {
        bytes.push_back(i == 0 ? 0x3A : 0x00);
        bytes.push_back(static_cast<std::uint8_t>(0xC3 ^ i));
    }
    bytes.push_back(0x99); // an odd trailing byte is not a word and is ignored
    RomContents out;
    ASSERT_TRUE(unpackRom(view(bytes), out));
    ASSERT_EQ(out.hexText.size(), words);
    EXPECT_EQ(out.hexText[0], ':');
    for (std::size_t i = 1; i < words; ++i)
        ASSERT_EQ(static_cast<std::uint8_t>(out.hexText[i]), i % 256) << i;
}

TEST(RomContainer, EveryHeaderWordIsChecked)
{
    const std::vector<std::uint8_t> good = tf::encodeRom(":00000001FF\n", firmware::kRomTargetServos);
    for (std::size_t word = 0; word < 7; ++word) {
        for (std::uint8_t delta : {std::uint8_t{1}, std::uint8_t{0}}) {
            std::vector<std::uint8_t> bad = good;
            // Change the low byte by one, or the high byte alone.
            if (delta)
                bad[2 * word] ^= 0x01;
            else
                bad[2 * word + 1] ^= 0x80;
            RomContents out;
            out.targetKind = 77;
            RomError error = RomError::None;
            EXPECT_FALSE(unpackRom(view(bad), out, &error)) << "word " << word;
            EXPECT_EQ(error, RomError::BadHeader);
            EXPECT_EQ(out.targetKind, 77);
            EXPECT_TRUE(out.hexText.empty());
        }
    }
    for (int kind : {0, 3, 17, 19, 0x0102}) {
        RomContents out;
        EXPECT_FALSE(unpackRom(view(tf::encodeRom(":00000001FF\n", kind)), out)) << kind;
    }
}

TEST(RomContainer, SizeLimits)
{
    RomContents out;
    RomError error = RomError::None;
    std::vector<std::uint8_t> bytes = tf::encodeRom("", firmware::kRomTargetServos);
    ASSERT_EQ(bytes.size(), 14u);
    // The bare header is a valid, empty container.
    EXPECT_TRUE(unpackRom(view(bytes), out, &error));
    EXPECT_TRUE(out.hexText.empty());

    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 13);
    EXPECT_FALSE(unpackRom(view(cut), out, &error));
    EXPECT_EQ(error, RomError::TooShort);

    const std::string largest(firmware::kRomMaxPayloadWords, 'x');
    std::vector<std::uint8_t> big = tf::encodeRom(largest, firmware::kRomTargetModules);
    big.push_back(0); // odd byte: still 65,535 words
    ASSERT_EQ(big.size(), firmware::kRomMaxFileBytes);
    EXPECT_TRUE(unpackRom(view(big), out, &error));
    EXPECT_EQ(out.hexText, largest);
    big.push_back(0);
    EXPECT_FALSE(unpackRom(view(big), out, &error));
    EXPECT_EQ(error, RomError::TooLong);

    // From disk: a much larger file is refused without being read whole.
    testsupport::TempFolder folder("tessaban-firmware");
    big.resize(10 * 1024 * 1024);
    ASSERT_TRUE(tf::writeFile(folder.file("huge.rom"), view(big)));
    EXPECT_FALSE(unpackRom(folder.file("huge.rom"), out, &error));
    EXPECT_EQ(error, RomError::TooLong);
}

TEST(RomContainer, FileRouteWritesNothingAndNeverTouchesAUserFileNamedLikeATemporary)
{
    testsupport::TempFolder folder("tessaban-firmware");
    const std::string path = folder.file("servo.rom");
    const std::string text = ":0400000001020304F2\n:00000001FF\n";
    ASSERT_TRUE(tf::writeFile(path, view(tf::encodeRom(text, firmware::kRomTargetServos))));
    ASSERT_TRUE(tf::writeFile(path + ".tmp", std::string_view("the user's own notes")));

    RomContents out;
    ASSERT_TRUE(unpackRom(path, out));
    EXPECT_EQ(out.hexText, text);
    EXPECT_EQ(readAll(path + ".tmp"), "the user's own notes");
    EXPECT_EQ(folder.entryCount(), 2u);

    // A refused container (target kind 3) leaves nothing behind either.
    const std::string bad = folder.file("bad.rom");
    ASSERT_TRUE(tf::writeFile(bad, view(tf::encodeRom(text, 3))));
    RomError error = RomError::None;
    EXPECT_FALSE(unpackRom(bad, out, &error));
    EXPECT_EQ(error, RomError::BadHeader);
    EXPECT_EQ(folder.entryCount(), 3u);

    EXPECT_FALSE(unpackRom(folder.file("absent.rom"), out, &error));
    EXPECT_EQ(error, RomError::CannotOpen);
}

TEST(RomContainer, InMemoryTextLoadsExactlyLikeTheTextWrittenToAFile)
{
    // Text with CR LF, and NUL and high bytes in a record's tail after white space: the loader
    // must see the same lines whichever route the text takes.
    std::string text = ":0400000001020304F2\r\n:02001000AABB89\n";
    text += std::string(":01002000CC13 ") + '\0' + "\xF0\r\n";
    text += ":020000021000EC\n:0100000055AA\n:00000001FF\r\n";
    std::vector<std::uint8_t> rom = tf::encodeRom(text, firmware::kRomTargetModules);
    RomContents out;
    ASSERT_TRUE(unpackRom(view(rom), out));

    testsupport::TempFolder folder("tessaban-firmware");
    const std::string hexPath = folder.file("servo.hex");
    ASSERT_TRUE(tf::writeFile(hexPath, out.hexText));
    firmware::HexImageLoader loader;
    std::vector<std::uint8_t> viaFile, viaMemory;
    std::size_t s1 = 0, l1 = 0, s2 = 0, l2 = 0;
    ASSERT_TRUE(loader.load(hexPath, viaFile, s1, l1)) << loader.errorText();
    ASSERT_TRUE(loader.loadText(out.hexText, viaMemory, s2, l2)) << loader.errorText();
    EXPECT_EQ(l1, 0x10001u + 2);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(viaFile, viaMemory);
    EXPECT_EQ(viaMemory[0x10000], 0x55);
    EXPECT_EQ(viaMemory[0x20], 0xCC);

    // A damaged text is refused the same way too.
    const std::string broken = text + " :00000001FF\n";
    ASSERT_TRUE(unpackRom(view(tf::encodeRom(broken, firmware::kRomTargetServos)), out));
    ASSERT_TRUE(tf::writeFile(hexPath, out.hexText));
    EXPECT_FALSE(loader.load(hexPath, viaFile, s1, l1));
    const auto fileError = loader.error();
    EXPECT_FALSE(loader.loadText(out.hexText, viaMemory, s2, l2));
    EXPECT_EQ(loader.error(), fileError);
}

TEST(RomContainer, UpdateCommandFollowsTheTargetKind)
{
    EXPECT_EQ(firmware::romUpdateCommand(firmware::kRomTargetServos), "update 0 30\r");
    EXPECT_EQ(firmware::romUpdateCommand(firmware::kRomTargetModules), "update 100 109\r");
    EXPECT_TRUE(firmware::romUpdateCommand(3).empty());
}
