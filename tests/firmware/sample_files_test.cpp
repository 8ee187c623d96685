#include "firmware/HexImageLoader.h"
#include "firmware/RomContainer.h"
#include "firmware/SampleFirmware.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tf = firmware::testfiles;

namespace {

std::string samplePath(const char* name)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/data/samples/" + name;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(SampleFiles, CommittedSamplesAreWhatTheGeneratorWrites)
{
    for (const auto& sample : tf::sampleFiles())
        EXPECT_TRUE(readAll(samplePath(sample.name)) == sample.bytes)
            << sample.name << " differs: run make_firmware_samples";
}

TEST(SampleFiles, FirmwareSampleLoadsWithItsVersionText)
{
    firmware::HexImageLoader loader;
    std::vector<std::uint8_t> buffer;
    std::size_t start = 0, length = 0;
    ASSERT_TRUE(loader.load(samplePath("kz7-firmware.hex"), buffer, start, length)) << loader.errorText();
    EXPECT_EQ(length, tf::kSampleFirmwareSize + 2);
    const std::string text(buffer.begin() + tf::kSampleVersionAddress,
                           buffer.begin() + tf::kSampleVersionAddress + tf::kSampleFirmwareVersion.size());
    EXPECT_EQ(text, tf::kSampleFirmwareVersion);
}

TEST(SampleFiles, ServoSamplesUnpackAndLoad)
{
    for (auto [name, kind] : {std::pair{"vq-servo.rom", 2}, std::pair{"vq-module.rom", 18}}) {
        firmware::RomContents rom;
        ASSERT_TRUE(firmware::unpackRom(samplePath(name), rom)) << name;
        EXPECT_EQ(rom.targetKind, kind);
        firmware::HexImageLoader loader;
        std::vector<std::uint8_t> buffer;
        std::size_t start = 0, length = 0;
        ASSERT_TRUE(loader.loadText(rom.hexText, buffer, start, length)) << loader.errorText();
        EXPECT_EQ(length, tf::kSampleServoSize + 2);
        EXPECT_TRUE(std::equal(tf::kSampleServoVersion.begin(), tf::kSampleServoVersion.end(),
                               buffer.begin() + tf::kSampleVersionAddress));
    }
}
