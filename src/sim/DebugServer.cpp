#include "sim/DebugServer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace sim {

DebugServer::~DebugServer()
{
    close();
}

bool DebugServer::open(const std::string& path, std::string* error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        *error = "the debug socket path is too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = path + " exists and is not a socket";
            return false;
        }
        ::unlink(path.c_str()); // left behind by a simulator that did not end cleanly
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        *error = std::string("cannot make the debug socket: ") + std::strerror(errno);
        return false;
    }
    // The socket is born with the user's permissions only, never briefly open to others.
    const mode_t oldMask = ::umask(0177);
    const int bound = ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::umask(oldMask);
    if (bound != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(listenFd_, 4) != 0) {
        *error = "cannot listen at " + path + ": " + std::strerror(errno);
        if (bound == 0)
            ::unlink(path.c_str());
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    path_ = path;
    return true;
}

void DebugServer::close()
{
    for (Client& client : clients_)
        ::close(client.fd);
    clients_.clear();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
}

void DebugServer::pollFds(std::vector<pollfd>& fds) const
{
    if (listenFd_ < 0)
        return;
    fds.push_back({listenFd_, POLLIN, 0});
    for (const Client& client : clients_)
        fds.push_back({client.fd, static_cast<short>(POLLIN | (client.output.empty() ? 0 : POLLOUT)), 0});
}

void DebugServer::accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        ucred peer{};
        socklen_t length = sizeof peer;
        const bool sameUser = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
                              (peer.uid == ::getuid() || peer.uid == ::geteuid());
        if (!sameUser || clients_.size() >= kMaxClients) {
            static const char kRefused[] = "error refused\n";
            [[maybe_unused]] ssize_t n = ::send(fd, kRefused, sizeof kRefused - 1, MSG_NOSIGNAL);
            ::close(fd);
            continue;
        }
        clients_.push_back(Client{fd, {}, {}, false, false});
    }
}

void DebugServer::read(Client& client)
{
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            client.gone = true;
            break;
        }
        if (n < 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (c == '\n') {
                if (!client.input.empty() && client.input.back() == '\r')
                    client.input.pop_back();
                client.output +=
                    client.discarding ? "error request too long" : debugger_.request(client.input);
                client.output += '\n';
                client.input.clear();
                client.discarding = false;
            } else if (!client.discarding) {
                client.input += c;
                if (client.input.size() > Debugger::kMaxRequest) {
                    client.input.clear();
                    client.discarding = true;
                }
            }
        }
    }
}

void DebugServer::flush(Client& client)
{
    while (!client.output.empty() && !client.gone) {
        const ssize_t n = ::send(client.fd, client.output.data(), client.output.size(), MSG_NOSIGNAL);
        if (n > 0) {
            client.output.erase(0, static_cast<size_t>(n));
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                client.gone = true;
            break;
        }
    }
    if (client.output.size() > kMaxPendingOutput)
        client.gone = true;
}

void DebugServer::service()
{
    if (listenFd_ < 0)
        return;
    accept();
    for (Client& client : clients_)
        read(client);
    debugger_.observe();
    const std::vector<std::string> events = debugger_.takeEvents();
    for (Client& client : clients_) {
        for (const std::string& event : events)
            client.output += event + '\n';
        flush(client);
    }
    const size_t before = clients_.size();
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->gone) {
            ::close(it->fd);
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
    if (before > 0 && clients_.empty())
        debugger_.detach();
}

} // namespace sim
