#include "firmware/MemoryArea.h"

#include "firmware/FirmwareTestFiles.h"
#include "firmware/HexImageLoader.h"

#include <gtest/gtest.h>

#include <numeric>

using firmware::HexImageLoader;
using firmware::MemoryArea;
namespace tf = firmware::testfiles;

namespace {

// The image the loader makes of `dataBytes` bytes of 0x11 from address 0.
std::vector<std::uint8_t> loadedImage(std::size_t dataBytes, std::size_t& length)
{
    HexImageLoader loader;
    std::vector<std::uint8_t> buffer;
    std::size_t start = 0;
    const std::vector<std::uint8_t> data(dataBytes, 0x11);
    EXPECT_TRUE(loader.loadText(tf::hexFromImage(data), buffer, start, length)) << loader.errorText();
    return buffer;
}

std::uint8_t sum(const std::vector<std::uint8_t>& bytes, std::size_t count)
{
    return static_cast<std::uint8_t>(
        std::accumulate(bytes.begin(), bytes.begin() + static_cast<long>(count), 0u));
}

} // namespace

TEST(MemoryArea, TheAreasTileTheControllersMemoryWithoutOverlap)
{
    const MemoryArea areas[] = {firmware::kFirmwareArea, firmware::kProgramArea, firmware::kServoArea,
                                firmware::kMotionArea};
    std::uint32_t next = 0;
    for (const MemoryArea& a : areas) {
        EXPECT_EQ(a.start, next) << a.name;
        next = a.last() + 1;
    }
    EXPECT_EQ(next, 0x1E000u);
}

// A hex image either fits its area as loaded, fits once the fill byte that would land on the
// next area is dropped, or is refused; the bytes stored never pass the area's last address.
TEST(MemoryArea, HexImagesKeepTheirFillByteOnlyInsideTheArea)
{
    struct Case {
        MemoryArea area;
        std::size_t dataBytes;
        bool fits;
        std::size_t sentLength; // data + fill (when it stays inside) + checksum
    };
    const Case cases[] = {
        {firmware::kFirmwareArea, 100, true, 102},
        {firmware::kFirmwareArea, 0xA000 - 1, true, 0xA000 + 1}, // the fill byte is the area's last
        {firmware::kFirmwareArea, 0xA000, true, 0xA000 + 1},     // full: the fill byte is dropped
        {firmware::kFirmwareArea, 0xA000 + 1, false, 0},         // one byte into the program
        {firmware::kFirmwareArea, 0x10010, false, 0},            // past 64 KiB
        {firmware::kServoArea, 0x2000, true, 0x2000 + 1},
        {firmware::kServoArea, 0x4000, false, 0}, // 16 KiB over the motion data
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.area.name) + " " + std::to_string(c.dataBytes));
        std::size_t length = 0;
        std::vector<std::uint8_t> image = loadedImage(c.dataBytes, length);
        const std::size_t loadedLength = length;
        const std::vector<std::uint8_t> before(image.begin(), image.begin() + static_cast<long>(length));
        std::string why;
        ASSERT_EQ(firmware::fitHexImageToArea(c.area, image, length, &why), c.fits);
        if (!c.fits) {
            EXPECT_EQ(length, loadedLength);
            EXPECT_TRUE(std::equal(before.begin(), before.end(), image.begin()));
            EXPECT_NE(why.find(std::string(c.area.name)), std::string::npos) << why;
            continue;
        }
        EXPECT_TRUE(why.empty());
        ASSERT_EQ(length, c.sentLength);
        EXPECT_LE(length - 1, c.area.size) << "stored bytes stay inside the area";
        EXPECT_EQ(image[length - 1], sum(image, length - 1)) << "the checksum covers what is sent";
        EXPECT_TRUE(firmware::imageFitsArea(c.area, length));
    }
}

TEST(MemoryArea, ImagesOfOtherKindsAreMeasuredByWhatTheyStore)
{
    struct Case {
        MemoryArea area;
        std::size_t length; // stored bytes + checksum
        bool fits;
    };
    const Case cases[] = {
        {firmware::kMotionArea, 0x10001, true}, {firmware::kMotionArea, 0x10002, false},
        {firmware::kProgramArea, 0x2001, true}, {firmware::kProgramArea, 0x2002, false},
        {firmware::kProgramArea, 1, false},     {firmware::kProgramArea, 0, false},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(firmware::imageFitsArea(c.area, c.length, &why), c.fits) << c.area.name << " " << c.length;
        EXPECT_EQ(why.empty(), c.fits) << why;
    }
}
