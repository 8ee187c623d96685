#include "termcore/LogWriter.h"

#include "termcore/ReceiveFormatter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace termcore {

bool LogWriter::open(const std::string& path)
{
    close();
    std::lock_guard lock(mutex_);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    path_ = path;
    buffer_.clear();
    logged_ = 0;
    error_ = 0;
    lineStart_ = true;
    return true;
}

bool LogWriter::close()
{
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        return true;
    bool ok = flushLocked();
    if (fd_ >= 0) {
        if (::close(fd_) != 0 && ok) {
            error_ = errno;
            ok = false;
        }
        fd_ = -1;
    }
    return ok;
}

bool LogWriter::isOpen() const
{
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

std::string LogWriter::path() const
{
    std::lock_guard lock(mutex_);
    return path_;
}

uint64_t LogWriter::bytesLogged() const
{
    std::lock_guard lock(mutex_);
    return logged_;
}

std::string LogWriter::errorText() const
{
    std::lock_guard lock(mutex_);
    return error_ ? std::strerror(error_) : std::string();
}

void LogWriter::setTimestamps(bool on)
{
    std::lock_guard lock(mutex_);
    timestamps_ = on;
}

bool LogWriter::timestamps() const
{
    std::lock_guard lock(mutex_);
    return timestamps_;
}

bool LogWriter::write(const void* data, size_t count, int64_t nowMs, int64_t msOfDay)
{
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        return false;
    if (count == 0)
        return true;
    if (buffer_.empty())
        oldestMs_ = nowMs;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!timestamps_) {
        buffer_.insert(buffer_.end(), bytes, bytes + count);
    } else {
        // A stamp before the first byte of every line, so a recording of sensor values says
        // when each value came.
        std::string stamp;
        ReceiveFormatter::appendStamp(stamp, msOfDay);
        for (size_t i = 0; i < count; ++i) {
            if (lineStart_)
                buffer_.insert(buffer_.end(), stamp.begin(), stamp.end());
            buffer_.push_back(bytes[i]);
            lineStart_ = bytes[i] == '\n';
        }
    }
    logged_ += count;
    if (buffer_.size() >= kBufferLimit || nowMs - oldestMs_ >= kFlushIntervalMs)
        return flushLocked();
    return true;
}

bool LogWriter::poll(int64_t nowMs)
{
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || buffer_.empty() || nowMs - oldestMs_ < kFlushIntervalMs / 2)
        return fd_ >= 0;
    return flushLocked();
}

bool LogWriter::flush()
{
    std::lock_guard lock(mutex_);
    return fd_ >= 0 && flushLocked();
}

bool LogWriter::flushLocked()
{
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The file stopped taking data: give it up rather than buffer without end.
            error_ = n < 0 ? errno : EIO;
            ::close(fd_);
            fd_ = -1;
            buffer_.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return true;
}

} // namespace termcore
