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

} // namespace

std::string AtomicWriteResult::reason() const
{
    return std::strerror(error);
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
    const int fd = createTemporaryBeside(path, permissions.mode, result.temporaryPath);
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
    if (::rename(result.temporaryPath.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(result.temporaryPath.c_str());
        return fail(AtomicWriteResult::Step::Replace, error);
    }
    return result;
}

} // namespace platform
