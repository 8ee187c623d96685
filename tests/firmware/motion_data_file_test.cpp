#include "firmware/MotionDataFile.h"

#include "firmware/FirmwareMessages.h"
#include "firmware/FirmwareTestFiles.h"
#include "support/TempFolder.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <gtest/gtest.h>

#include <filesystem>

using firmware::MotionDataFile;
using firmware::MotionFileError;
namespace tf = firmware::testfiles;

namespace {

std::vector<std::uint8_t> readAll(const std::string& path)
{
    std::vector<std::uint8_t> out(std::filesystem::file_size(path));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return {};
    out.resize(std::fread(out.data(), 1, out.size(), f));
    std::fclose(f);
    return out;
}

} // namespace

TEST(MotionDataFile, ImageIsTheDataFollowedByItsChecksum)
{
    MotionDataFile mtn;
    std::vector<std::uint8_t> image;
    std::vector<std::uint8_t> data(65536, 0x00);
    data[0] = 0x80;
    data[65535] = 0x85;
    ASSERT_TRUE(mtn.imageFromBytes(data, image));
    ASSERT_EQ(image.size(), 65537u);
    EXPECT_EQ(image[0], 0x80);
    EXPECT_EQ(image[65535], 0x85);
    EXPECT_EQ(image[65536], 0x05); // the sum wraps at 256
}

TEST(MotionDataFile, OnlyExactly65536BytesAreMotionData)
{
    testsupport::TempFolder folder("tessaban-firmware");
    MotionDataFile mtn;
    const std::vector<std::uint8_t> kept = {1, 2, 3};
    for (std::size_t size : {std::size_t{0}, std::size_t{65535}, std::size_t{65537}, std::size_t{200000}}) {
        std::vector<std::uint8_t> image = kept;
        EXPECT_FALSE(mtn.imageFromBytes(std::vector<std::uint8_t>(size, 7), image)) << size;
        EXPECT_EQ(mtn.error(), MotionFileError::WrongSize);

        const std::string path = folder.file("m" + std::to_string(size) + ".mtn");
        ASSERT_TRUE(tf::writeFile(path, std::vector<std::uint8_t>(size, 7)));
        EXPECT_FALSE(mtn.readImage(path, image)) << size;
        EXPECT_EQ(mtn.error(), MotionFileError::WrongSize);
        EXPECT_EQ(mtn.errorText(), taskloom::text(firmware::kMsgNotMotionData));
        EXPECT_EQ(mtn.errorText(), "This file is not a Motion Data!");
        EXPECT_EQ(image, kept); // a refused file leaves nothing to send
    }
}

TEST(MotionDataFile, UnreadableFilesGiveTheSystemReasonOrTheReadMessage)
{
    testsupport::TempFolder folder("tessaban-firmware");
    MotionDataFile mtn;
    std::vector<std::uint8_t> image;
    EXPECT_FALSE(mtn.readImage(folder.file("absent.mtn"), image));
    EXPECT_EQ(mtn.error(), MotionFileError::CannotOpen);
    EXPECT_NE(mtn.errorText().find("No such file"), std::string::npos) << mtn.errorText();

    // A folder opens but cannot be read: the file-read message.
    std::filesystem::create_directory(folder.file("folder.mtn"));
    EXPECT_FALSE(mtn.readImage(folder.file("folder.mtn"), image));
    EXPECT_EQ(mtn.error(), MotionFileError::ShortRead);
    EXPECT_EQ(mtn.errorText(), "Failed to read Motion Data of robot from a file!");
    EXPECT_TRUE(image.empty());
}

TEST(MotionDataFile, BackupStoresTheFirst65536ReceivedBytesReplacesTheOldFileAndReadsBack)
{
    testsupport::TempFolder folder("tessaban-firmware");
    const std::string path = folder.file("backup.mtn");
    ASSERT_TRUE(tf::writeFile(path, std::string_view("an older backup")));

    // The receive buffer holds up to 255 bytes past the data; they are not stored.
    std::vector<std::uint8_t> received(MotionDataFile::kReceiveBufferSize, 0xEE);
    for (std::size_t i = 0; i < MotionDataFile::kSize; ++i)
        received[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    received[0] = 0x5A; // the pattern alone sums to 0 modulo 256; this gives a checksum that shows
    MotionDataFile mtn;
    ASSERT_TRUE(mtn.write(path, received)) << mtn.errorText();
    const std::vector<std::uint8_t> stored = readAll(path);
    ASSERT_EQ(stored.size(), 65536u);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), received.begin()));
    EXPECT_EQ(folder.entryCount(), 1u); // no temporary file left beside it
    EXPECT_EQ(MotionDataFile::bytesToStore(received), stored);

    // Read back from disk, the stored file gives the same bytes followed by their checksum.
    std::vector<std::uint8_t> image;
    ASSERT_TRUE(mtn.readImage(path, image));
    ASSERT_EQ(image.size(), 65537u);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), image.begin()));
    unsigned sum = 0;
    for (std::uint8_t b : stored)
        sum += b;
    EXPECT_EQ(image[65536], static_cast<std::uint8_t>(sum));
}

TEST(MotionDataFile, FailedBackupKeepsWhatWasThereAndLeavesNoTemporary)
{
    testsupport::TempFolder folder("tessaban-firmware");
    const std::vector<std::uint8_t> received(MotionDataFile::kSize, 0x11);
    MotionDataFile mtn;

    // A short reception is never written.
    const std::string path = folder.file("old.mtn");
    ASSERT_TRUE(tf::writeFile(path, std::string_view("old")));
    EXPECT_FALSE(mtn.write(path, std::span<const std::uint8_t>(received.data(), 65535)));
    EXPECT_EQ(mtn.error(), MotionFileError::WriteFailed);
    EXPECT_TRUE(MotionDataFile::bytesToStore(std::span<const std::uint8_t>(received.data(), 100)).empty());

    // The target cannot be replaced (a non-empty folder): the rename fails, nothing is lost.
    const std::string blocked = folder.file("blocked.mtn");
    std::filesystem::create_directory(blocked);
    ASSERT_TRUE(tf::writeFile(blocked + "/inside", std::string_view("x")));
    EXPECT_FALSE(mtn.write(blocked, received));
    EXPECT_EQ(mtn.error(), MotionFileError::WriteFailed);
    EXPECT_FALSE(mtn.errorText().empty());
    EXPECT_TRUE(std::filesystem::is_directory(blocked));

    // A folder that does not exist.
    EXPECT_FALSE(mtn.write(folder.file("no/such/folder.mtn"), received));
    EXPECT_EQ(folder.entryCount(), 2u);
    EXPECT_EQ(readAll(path).size(), 3u);
}
