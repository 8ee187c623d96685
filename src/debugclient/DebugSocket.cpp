#include "debugclient/DebugSocket.h"

#include "platform/PortMap.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace debugclient {

std::string debugSocketPath(int comPort)
{
    return platform::portFolder() + "/COM" + std::to_string(comPort) + ".debug";
}

bool debugChannelOffered(int comPort)
{
    struct stat st {};
    return comPort > 0 && ::stat(debugSocketPath(comPort).c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

DebugSocket::~DebugSocket()
{
    close();
}

bool DebugSocket::open(const std::string& path, std::string* error)
{
    close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        *error = "the path is too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = path + ": " + std::strerror(errno);
        close();
        return false;
    }
    return true;
}

void DebugSocket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    input_.clear();
    events_.clear();
    answers_.clear();
}

bool DebugSocket::readAvailable()
{
    char buffer[2048];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            input_.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        return false; // closed, or broken
    }
}

std::optional<std::string> DebugSocket::sortLines()
{
    size_t end;
    while ((end = input_.find('\n')) != std::string::npos) {
        std::string line = input_.substr(0, end);
        input_.erase(0, end + 1);
        if (line.rfind("event ", 0) == 0)
            events_.push_back(std::move(line));
        else
            answers_.push_back(std::move(line));
    }
    if (answers_.empty())
        return std::nullopt;
    std::string answer = std::move(answers_.front());
    answers_.erase(answers_.begin());
    return answer;
}

std::optional<std::string> DebugSocket::exchange(const std::string& request)
{
    if (fd_ < 0)
        return std::nullopt;
    const std::string line = request + "\n";
    if (::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
        close();
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
    for (;;) {
        if (!readAvailable() || input_.size() > kMaxLine * 16) {
            close();
            return std::nullopt;
        }
        if (auto answer = sortLines())
            return answer;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
    // An answer that does not come leaves the channel out of step: it is given up.
    close();
    return std::nullopt;
}

std::vector<std::string> DebugSocket::events()
{
    if (fd_ >= 0) {
        const bool open = readAvailable() && input_.size() <= kMaxLine * 16;
        sortLines();
        if (!open) {
            std::vector<std::string> last = std::move(events_);
            close();
            last.push_back("event closed");
            return last;
        }
    }
    return std::exchange(events_, {});
}

} // namespace debugclient
