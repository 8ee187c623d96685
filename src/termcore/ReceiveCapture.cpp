#include "termcore/ReceiveCapture.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace termcore {

ReceiveCapture::~ReceiveCapture()
{
    stop();
}

ReceiveCapture::CreateResult ReceiveCapture::create(const std::string& path, bool truncate)
{
    if (active())
        return CreateResult::Failed;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_EXCL);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
    fd_ = fd;
    path_ = path;
    staging_ = new uint8_t[kStagingSize];
    staged_ = 0;
    received_ = 0;
    return CreateResult::Created;
}

bool ReceiveCapture::flush()
{
    size_t done = 0;
    while (done < staged_) {
        const ssize_t n = ::write(fd_, staging_ + done, staged_ - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    staged_ = 0;
    return true;
}

bool ReceiveCapture::captureBlock(const uint8_t* bytes, size_t length)
{
    if (!active())
        return false;
    while (length > 0) {
        // Blocks come in at most 1024 bytes; a larger one is staged in pieces.
        const size_t n = length < kStagingSize ? length : kStagingSize;
        if (staged_ + n > kStagingSize && !flush()) {
            closeFile();
            return false;
        }
        std::memcpy(staging_ + staged_, bytes, n);
        staged_ += n;
        received_ += n;
        bytes += n;
        length -= n;
    }
    return true;
}

bool ReceiveCapture::stop()
{
    if (!active())
        return true;
    const bool ok = flush();
    closeFile();
    return ok;
}

void ReceiveCapture::closeFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    delete[] staging_;
    staging_ = nullptr;
    staged_ = 0;
}

} // namespace termcore
