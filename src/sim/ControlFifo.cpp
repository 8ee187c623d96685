#include "sim/ControlFifo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

bool ControlFifo::open(const std::string& path, std::string* error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            *error = path + " exists and is not a FIFO";
            return false;
        }
    } else if (::mkfifo(path.c_str(), 0600) != 0) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    } else {
        createdPath_ = path;
    }
    // Read and write: the FIFO then never reports end-of-file when a writer goes away.
    fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::vector<std::string> ControlFifo::readLines()
{
    std::vector<std::string> lines;
    if (fd_ < 0)
        return lines;
    char buffer[512];
    for (;;) {
        ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        partial_.append(buffer, static_cast<size_t>(n));
    }
    size_t pos;
    while ((pos = partial_.find('\n')) != std::string::npos) {
        std::string line = partial_.substr(0, pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        partial_.erase(0, pos + 1);
        lines.push_back(line);
    }
    if (partial_.size() > 4096) // a line that never ends is not a command
        partial_.clear();
    return lines;
}

ControlFifo::~ControlFifo()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!createdPath_.empty()) // ours: leave no FIFO behind
        ::unlink(createdPath_.c_str());
}

} // namespace sim
