#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Creates a new file beside `target` under a random name; O_EXCL refuses a name that exists, so
// a user's own file is never taken for the temporary one. Readable too: a copy of old contents
// may have to be read back.
int createTemporaryBeside(const std::string& target, mode_t mode, std::string& tempPath)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
        tempPath = target + suffix;
        const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Resolves the target and refuses what must not be replaced: anything but a regular file, and a
// file this user may not write (a rename would replace it all the same, as the folder allows).
// `existing` is filled when the target exists.
bool checkTarget(const std::string& path, std::string& target, int& error, struct stat* existing = nullptr)
{
    target = resolveWriteTarget(path);
    if (target.empty()) {
        error = errno;
        return false;
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true; // a new file
        error = errno;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    if (::access(target.c_str(), W_OK) != 0) {
        error = errno;
        return false;
    }
    if (existing)
        *existing = st;
    return true;
}

bool copyAll(int from, int to)
{
    if (::lseek(from, 0, SEEK_SET) != 0 || ::lseek(to, 0, SEEK_SET) != 0)
        return false;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!writeAll(to, {buffer, static_cast<std::size_t>(n)}))
            return false;
    }
    const off_t end = ::lseek(to, 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(to, end) == 0 && ::fsync(to) == 0;
}

// Makes a rename in the target's folder survive a power cut. A file system that cannot sync a
// folder (EINVAL) keeps its names by other means.
int syncFolderOf(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

// Writes the new contents into the existing file itself, for a file whose identity matters: one
// with further hard links (a rename would split them) or one owned by somebody else (a rename
// would make it ours). The old contents go to a synced copy beside it first; a failed write puts
// them back, and after a power cut mid-write that copy (NAME.xxxxxxxx.tmp) still holds them.
AtomicWriteResult writeInPlace(const std::string& target, std::span<const std::uint8_t> bytes)
{
    AtomicWriteResult result;
    auto fail = [&](AtomicWriteResult::Step step, int error) {
        result.failedStep = step;
        result.error = error;
        return result;
    };
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return fail(AtomicWriteResult::Step::Target, errno);
    const int backup = createTemporaryBeside(target, 0600, result.temporaryPath);
    if (backup < 0) {
        const int error = errno;
        ::close(fd);
        return fail(AtomicWriteResult::Step::Create, error);
    }
    auto finish = [&](AtomicWriteResult::Step step, int error) {
        ::close(backup);
        ::close(fd);
        ::unlink(result.temporaryPath.c_str());
        return step == AtomicWriteResult::Step::None ? result : fail(step, error);
    };
    if (!copyAll(fd, backup))
        return finish(AtomicWriteResult::Step::Write, errno);
    const bool written = ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, bytes) &&
                         ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
    if (written)
        return finish(AtomicWriteResult::Step::None, 0);
    const int error = errno;
    if (!copyAll(backup, fd)) {
        // The old contents could not be put back: keep the copy that holds them.
        ::close(backup);
        ::close(fd);
        result.temporaryPath.clear();
        return fail(AtomicWriteResult::Step::Write, error);
    }
    return finish(AtomicWriteResult::Step::Write, error);
}

} // namespace

std::string AtomicWriteResult::reason() const
{
    if (failedStep == Step::Target && error == EINVAL)
        return "not a regular file (a device or a FIFO)";
    return std::strerror(error);
}

std::string resolveWriteTarget(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size())
            return current; // changed under us: let the rename decide
        link.resize(static_cast<std::size_t>(n));
        if (link.empty() || link[0] == '/') {
            current = link;
        } else {
            const std::size_t slash = current.rfind('/');
            if (slash == std::string::npos) {
                current = link;
            } else {
                current.resize(slash + 1);
                current += link;
            }
        }
    }
    errno = ELOOP;
    return {};
}

AtomicWriteResult checkAtomicWrite(const std::string& path)
{
    AtomicWriteResult result;
    std::string target;
    int error = 0;
    if (!checkTarget(path, target, error)) {
        result.failedStep = AtomicWriteResult::Step::Target;
        result.error = error;
        return result;
    }
    const int fd = createTemporaryBeside(target, 0600, result.temporaryPath);
    if (fd < 0) {
        result.failedStep = AtomicWriteResult::Step::Create;
        result.error = errno;
        return result;
    }
    ::close(fd);
    ::unlink(result.temporaryPath.c_str());
    return result;
}

AtomicWriteResult writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                      FilePermissions permissions)
{
    AtomicWriteResult result;
    auto fail = [&](AtomicWriteResult::Step step, int error) {
        result.failedStep = step;
        result.error = error;
        return result;
    };
    std::string target;
    int targetError = 0;
    struct stat old {};
    old.st_nlink = 0;
    if (!checkTarget(path, target, targetError, &old))
        return fail(AtomicWriteResult::Step::Target, targetError);
    const bool replacing = old.st_nlink > 0;
    if (replacing && old.st_nlink > 1)
        return writeInPlace(target, bytes);
    // A replaced file keeps its permission bits; a new one gets what the caller asked for.
    const mode_t mode = replacing ? (old.st_mode & 0777) : permissions.mode;
    const int fd = createTemporaryBeside(target, mode, result.temporaryPath);
    if (fd < 0)
        return fail(AtomicWriteResult::Step::Create, errno);
    if (replacing && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Somebody else's file that we may write (a shared folder): write into it instead, so it
        // stays theirs.
        ::close(fd);
        ::unlink(result.temporaryPath.c_str());
        return writeInPlace(target, bytes);
    }

    bool ok = writeAll(fd, bytes);
    int error = ok ? 0 : errno;
    if (ok && (replacing || permissions.exact) && ::fchmod(fd, mode) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(result.temporaryPath.c_str());
        return fail(AtomicWriteResult::Step::Write, error);
    }
    if (::rename(result.temporaryPath.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(result.temporaryPath.c_str());
        return fail(AtomicWriteResult::Step::Replace, error);
    }
    // Until the folder is synced, a power cut may bring back the old name's file.
    if (const int syncError = syncFolderOf(target))
        return fail(AtomicWriteResult::Step::Replace, syncError);
    return result;
}

} // namespace platform
