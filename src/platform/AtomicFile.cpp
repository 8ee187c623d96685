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
// a user's own file is never taken for the temporary one.
int createTemporaryBeside(const std::string& target, mode_t mode, std::string& tempPath)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
        tempPath = target + suffix;
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
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

// Resolves the target and refuses what must not be renamed over.
bool checkTarget(const std::string& path, std::string& target, int& error)
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
    return true;
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
            current = slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
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
    if (!checkTarget(path, target, targetError))
        return fail(AtomicWriteResult::Step::Target, targetError);
    const int fd = createTemporaryBeside(target, permissions.mode, result.temporaryPath);
    if (fd < 0)
        return fail(AtomicWriteResult::Step::Create, errno);

    bool ok = writeAll(fd, bytes);
    int error = ok ? 0 : errno;
    if (ok && permissions.exact && ::fchmod(fd, permissions.mode) != 0) {
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
    return result;
}

} // namespace platform
