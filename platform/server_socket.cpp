#include "platform/server_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vaultra::platform {

namespace {

constexpr int kSendTimeoutSeconds = 5;

void SetNoDelay(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void SetSendTimeout(int fd) {
    timeval tv{kSendTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

StreamConnection::StreamConnection(int fd) : fd_(fd) {
    SetNoDelay(fd_);
    SetSendTimeout(fd_);
}

StreamConnection::~StreamConnection() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

ReadOutcome ReadDescriptor(int fd, std::span<std::uint8_t> into) {
    for (;;) {
        const ssize_t n = ::read(fd, into.data(), into.size());
        if (n > 0) {
            return {static_cast<std::size_t>(n), false};
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return {0, false};
        }
        return {0, true};
    }
}

ReadOutcome StreamConnection::ReadSome(std::span<std::uint8_t> into) {
    return ReadDescriptor(fd_, into);
}

bool StreamConnection::WriteAll(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void StreamConnection::Abort() {
    if (fd_ < 0) {
        return;
    }
    linger off{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    ::close(fd_);
    fd_ = -1;
}

std::unique_ptr<ListeningSocket> ListeningSocket::Open(std::uint16_t port, std::string* error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return nullptr;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address = LoopbackAddress(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        *error = "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<ListeningSocket>(new ListeningSocket(fd, ntohs(address.sin_port)));
}

ListeningSocket::~ListeningSocket() {
    ::close(fd_);
}

std::unique_ptr<StreamConnection> ListeningSocket::Accept() {
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<StreamConnection>(fd);
}

std::unique_ptr<StreamConnection> ConnectLoopback(std::uint16_t port, int timeout_ms) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return nullptr;
    }
    sockaddr_in address = LoopbackAddress(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return nullptr;
    }
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (::poll(&p, 1, timeout_ms) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
        error != 0) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<StreamConnection>(fd);
}

bool WaitReadable(int fd, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeout_ms);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n == 1;
    }
}

}  // namespace vaultra::platform
