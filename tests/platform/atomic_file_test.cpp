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

    // A target that must not be replaced: a folder with something in it is refused before a
    // temporary file is even made.
    const fs::path blocked = folder.path() / "blocked";
    fs::create_directory(blocked);
    std::ofstream(blocked / "inside") << "keep";
    r = writeFileAtomically(blocked.string(), bytesOf("x"));
    EXPECT_EQ(r.failedStep, AtomicWriteResult::Step::Target);
    EXPECT_EQ(r.error, EISDIR);
    EXPECT_TRUE(r.temporaryPath.empty());
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

// What a save does with the thing its path names: links are followed to the file they lead
// to (which gets the new contents, the links staying links), anything that is not a regular
// file is refused and left exactly as it was.
TEST(AtomicFile, LinksAreWrittenThroughAndOtherFilesRefused)
{
    testsupport::TempFolder folder("atomic-file");
    ASSERT_TRUE(folder.ok());
    const fs::path dir = folder.path();
    fs::create_directory(dir / "real");
    std::ofstream(dir / "real" / "image.bin") << "old";
    fs::create_symlink("real/image.bin", dir / "relative");                 // relative to the link
    fs::create_symlink(dir / "relative", dir / "chained");                  // a link to a link
    fs::create_symlink(dir / "real" / "new.bin", dir / "dangling");         // leads to no file yet
    fs::create_symlink("/dev/null", dir / "tonull");
    fs::create_symlink(dir / "loop2", dir / "loop1");
    fs::create_symlink(dir / "loop1", dir / "loop2");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

    struct Case {
        const char* name;
        fs::path written;      // the file that must hold the new contents (empty: refused)
        AtomicWriteResult::Step step;
        int error;
    };
    const Case cases[] = {
        {"relative", dir / "real" / "image.bin", AtomicWriteResult::Step::None, 0},
        {"chained", dir / "real" / "image.bin", AtomicWriteResult::Step::None, 0},
        {"dangling", dir / "real" / "new.bin", AtomicWriteResult::Step::None, 0},
        {"tonull", {}, AtomicWriteResult::Step::Target, EINVAL},
        {"fifo", {}, AtomicWriteResult::Step::Target, EINVAL},
        {"loop1", {}, AtomicWriteResult::Step::Target, ELOOP},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string contents = "new " + std::to_string(++round);
        const AtomicWriteResult r = writeFileAtomically((dir / c.name).string(), bytesOf(contents));
        EXPECT_EQ(r.failedStep, c.step);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(platform::checkAtomicWrite((dir / c.name).string()).failedStep, c.step);
        if (!c.written.empty()) {
            EXPECT_EQ(readAll(c.written), contents);
            EXPECT_TRUE(fs::is_symlink(dir / c.name)) << "the link stays a link";
        } else {
            EXPECT_FALSE(r.reason().empty());
        }
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(fs::status(dir / "fifo").type(), fs::file_type::fifo);
    // Nothing but what was made above, plus the file the dangling link now leads to.
    EXPECT_EQ(folder.entryCount(), 8u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator{}), 2);
}

TEST(AtomicFile, CheckingAWriteLeavesNothingBehind)
{
    testsupport::TempFolder folder("atomic-file");
    ASSERT_TRUE(folder.ok());
    const AtomicWriteResult fine = platform::checkAtomicWrite((folder.path() / "a.mtn").string());
    EXPECT_TRUE(fine.ok());
    EXPECT_FALSE(fs::exists(folder.path() / "a.mtn"));
    const AtomicWriteResult missing = platform::checkAtomicWrite((folder.path() / "no" / "a.mtn").string());
    EXPECT_EQ(missing.failedStep, AtomicWriteResult::Step::Create);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(folder.entryCount(), 0u);
}
