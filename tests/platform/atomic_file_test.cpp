#include "platform/AtomicFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
using platform::AtomicWriteResult;
using platform::writeFileAtomically;

namespace {

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

mode_t modeOf(const fs::path& p)
{
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(AtomicFile, WritesNewFilesAndReplacesOldOnesLeavingNoTemporary)
{
    testsupport::TempFolder folder("atomic-file");
    ASSERT_TRUE(folder.ok());
    const fs::path target = folder.path() / "data.bin";
    std::vector<uint8_t> first = bytesOf(std::string("first\0contents", 14));
    ASSERT_TRUE(writeFileAtomically(target.string(), first));
    EXPECT_EQ(readAll(target), std::string("first\0contents", 14));

    const AtomicWriteResult second = writeFileAtomically(target.string(), bytesOf("2"));
    EXPECT_TRUE(second.ok());
    EXPECT_EQ(second.failedStep, AtomicWriteResult::Step::None);
    EXPECT_EQ(readAll(target), "2");
    EXPECT_EQ(folder.entryCount(), 1u);

    ASSERT_TRUE(writeFileAtomically(target.string(), {}));
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST(AtomicFile, PermissionsFollowTheUmaskUnlessExact)
{
    testsupport::TempFolder folder("atomic-file");
    ASSERT_TRUE(folder.ok());
    const mode_t old = ::umask(077);
    const fs::path plain = folder.path() / "plain";
    const fs::path exact = folder.path() / "exact";
    const bool plainOk = writeFileAtomically(plain.string(), bytesOf("x")).ok();
    const bool exactOk = writeFileAtomically(exact.string(), bytesOf("x"), {0644, true}).ok();
    ::umask(old);
    ASSERT_TRUE(plainOk);
    ASSERT_TRUE(exactOk);
    EXPECT_EQ(modeOf(plain), 0600u);
    EXPECT_EQ(modeOf(exact), 0644u);
}

TEST(AtomicFile, EachFailingStepIsReportedAndTheOldFileKept)
{
    testsupport::TempFolder folder("atomic-file");
    ASSERT_TRUE(folder.ok());

    // No folder to create the temporary in.
    const std::string missing = (folder.path() / "no" / "such.bin").string();
    AtomicWriteResult r = writeFileAtomically(missing, bytesOf("x"));
    EXPECT_FALSE(r);
    EXPECT_EQ(r.failedStep, AtomicWriteResult::Step::Create);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(r.reason(), "No such file or directory");
    EXPECT_EQ(r.temporaryPath.rfind(missing + ".", 0), 0u) << r.temporaryPath;

    // A target that cannot be replaced: a folder with something in it.
    const fs::path blocked = folder.path() / "blocked";
    fs::create_directory(blocked);
    std::ofstream(blocked / "inside") << "keep";
    r = writeFileAtomically(blocked.string(), bytesOf("x"));
    EXPECT_EQ(r.failedStep, AtomicWriteResult::Step::Replace);
    EXPECT_NE(r.error, 0);
    EXPECT_FALSE(fs::exists(r.temporaryPath));
    EXPECT_EQ(readAll(blocked / "inside"), "keep");

    // The write itself fails: the file size limit stops it part way.
    const fs::path target = folder.path() / "target";
    std::ofstream(target) << "old contents";
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    r = writeFileAtomically(target.string(), bytesOf("much more than four bytes"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.failedStep, AtomicWriteResult::Step::Write);
    EXPECT_EQ(r.error, EFBIG);
    EXPECT_EQ(readAll(target), "old contents");
    EXPECT_FALSE(fs::exists(r.temporaryPath));
    EXPECT_EQ(folder.entryCount(), 2u); // "blocked" and "target", no temporary
}
