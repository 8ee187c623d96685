#include "platform/AtomicFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <iterator>
#include <pwd.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
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
    fs::create_symlink("real/image.bin", dir / "relative");         // relative to the link
    fs::create_symlink(dir / "relative", dir / "chained");          // a link to a link
    fs::create_symlink(dir / "real" / "new.bin", dir / "dangling"); // leads to no file yet
    fs::create_symlink("/dev/null", dir / "tonull");
    fs::create_symlink(dir / "loop2", dir / "loop1");
    fs::create_symlink(dir / "loop1", dir / "loop2");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

    struct Case {
        const char* name;
        fs::path written; // the file that must hold the new contents (empty: refused)
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

namespace {

// Runs `body` as the unprivileged user nobody (the test itself usually runs as root, who may
// write anything) and returns what it reported; "skipped: ..." when that cannot be arranged.
std::string asNobody(const std::function<std::string()>& body)
{
    if (::geteuid() != 0)
        return body(); // already an ordinary user
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return "skipped: this system has no user nobody";
    int report[2];
    if (::pipe(report) != 0)
        return "skipped: no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        std::string said =
            ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0
                ? body()
                : "cannot become nobody";
        [[maybe_unused]] ssize_t n = ::write(report[1], said.data(), said.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string said;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(report[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<size_t>(n));
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return said;
}

struct stat statOf(const fs::path& p)
{
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st;
}

} // namespace

// A save respects the file it replaces: as an ordinary user in a folder everybody may write, a
// read-only file is refused and left alone, a private file stays private, a file with a second
// hard link keeps it, and somebody else's file they let us write stays theirs.
TEST(AtomicFile, ASaveRespectsTheFileItReplaces)
{
    testsupport::TempFolder folder("atomic-shared");
    ASSERT_TRUE(folder.ok());
    const fs::path dir = folder.path();
    fs::permissions(dir, fs::perms::all); // a shared folder
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    if (root && !nobody)
        GTEST_SKIP() << "this system has no user nobody to save as";
    const uid_t user = root ? nobody->pw_uid : ::geteuid();
    const gid_t group = root ? nobody->pw_gid : ::getegid();

    auto make = [&](const char* name, const char* text, mode_t mode, bool ours) {
        std::ofstream(dir / name) << text;
        if (ours && root) {
            EXPECT_EQ(::chown((dir / name).c_str(), user, group), 0);
        }
        ::chmod((dir / name).c_str(), mode);
    };
    make("counter.tpg", "teacher's", 0444, false);
    make("private.tpg", "mine", 0600, true);
    make("linked.tpg", "shared twice", 0640, true);
    ASSERT_EQ(::link((dir / "linked.tpg").c_str(), (dir / "other-name.tpg").c_str()), 0);
    make("group.tpg", "group work", 0666, false);
    const struct stat groupBefore = statOf(dir / "group.tpg");
    const ino_t linkedInode = statOf(dir / "linked.tpg").st_ino;

    const std::string said = asNobody([&] {
        std::string report;
        auto save = [&](const char* name, const char* text) {
            return writeFileAtomically((dir / name).string(), bytesOf(text));
        };
        const AtomicWriteResult refused = save("counter.tpg", "student's");
        if (refused.failedStep != AtomicWriteResult::Step::Target || refused.reason() != "Permission denied")
            report += "read-only file not refused (" + refused.reason() + "); ";
        if (platform::checkAtomicWrite((dir / "counter.tpg").string()).ok())
            report += "the check let the read-only file pass; ";
        for (const char* name : {"private.tpg", "linked.tpg", "group.tpg"})
            if (const AtomicWriteResult r = save(name, "saved again"); !r)
                report += std::string(name) + " refused: " + r.reason() + "; ";
        return report;
    });
    if (said.rfind("skipped:", 0) == 0)
        GTEST_SKIP() << said;
    EXPECT_EQ(said, "");

    EXPECT_EQ(readAll(dir / "counter.tpg"), "teacher's");
    EXPECT_EQ(statOf(dir / "counter.tpg").st_uid, ::geteuid());
    EXPECT_EQ(modeOf(dir / "counter.tpg"), 0444u);
    EXPECT_EQ(readAll(dir / "private.tpg"), "saved again");
    EXPECT_EQ(modeOf(dir / "private.tpg"), 0600u);
    EXPECT_EQ(statOf(dir / "private.tpg").st_uid, user);
    EXPECT_EQ(readAll(dir / "other-name.tpg"), "saved again");
    EXPECT_EQ(statOf(dir / "linked.tpg").st_ino, linkedInode);
    EXPECT_EQ(statOf(dir / "linked.tpg").st_nlink, 2u);
    EXPECT_EQ(modeOf(dir / "linked.tpg"), 0640u);
    EXPECT_EQ(readAll(dir / "group.tpg"), "saved again");
    EXPECT_EQ(statOf(dir / "group.tpg").st_uid, groupBefore.st_uid);
    if (root) { // only then is it somebody else's file, which must be written in place
        EXPECT_EQ(statOf(dir / "group.tpg").st_ino, groupBefore.st_ino);
    }
    EXPECT_EQ(modeOf(dir / "group.tpg"), 0666u);
    EXPECT_EQ(folder.entryCount(), 5u) << "no temporary file left";
}

// Writing through a hard link cannot rename: a write that fails half way puts the old contents
// back, seen through both names.
TEST(AtomicFile, AFailedWriteThroughAHardLinkPutsTheOldContentsBack)
{
    testsupport::TempFolder folder("atomic-file");
    ASSERT_TRUE(folder.ok());
    const fs::path target = folder.path() / "image.mtn";
    std::ofstream(target) << "old";
    ASSERT_EQ(::link(target.c_str(), (folder.path() / "copy.mtn").c_str()), 0);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 8; // room for the old contents and their copy, not for the new
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const AtomicWriteResult r = writeFileAtomically(target.string(), bytesOf("much more than eight bytes"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.failedStep, AtomicWriteResult::Step::Write);
    EXPECT_EQ(r.error, EFBIG);
    EXPECT_EQ(readAll(target), "old");
    EXPECT_EQ(readAll(folder.path() / "copy.mtn"), "old");
    EXPECT_EQ(folder.entryCount(), 2u);
}
