#include "platform/tcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/fd_wait.h"

namespace vaultra::platform {
namespace {

sockaddr_in SocketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}

}  // namespace

bool ParseIPv4(const char* text, std::uint32_t* address) {
    in_addr parsed{};
    if (text == nullptr || inet_pton(AF_INET, text, &parsed) != 1) {
        return false;
    }
    *address = parsed.s_addr;
    return true;
}

std::unique_ptr<TcpClient> TcpClient::Create() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<TcpClient>(new TcpClient(fd));
}

TcpClient::~TcpClient() {
    CloseWithReset();
}

bool TcpClient::Bind(std::uint32_t localAddress) {
    const sockaddr_in sa = SocketAddress(localAddress, 0);
    return bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool TcpClient::SetOptions(bool dontRoute) {
    const int on = 1;
    bool ok = setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
    if (dontRoute) {
        ok = setsockopt(fd_, SOL_SOCKET, SO_DONTROUTE, &on, sizeof on) == 0 && ok;
    }
    return ok;
}

bool TcpClient::Connect(std::uint32_t address, std::uint16_t port, std::uint32_t timeoutMs, bool* timedOut) {
    *timedOut = false;
    const sockaddr_in sa = SocketAddress(address, port);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
        return true;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        return false;
    }
    if (WaitDescriptor(fd_, POLLOUT, timeoutMs) == 0) {
        *timedOut = true;
        return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

ReceiveResult TcpClient::Receive(std::uint8_t* buffer, int capacity, std::uint32_t waitMs, int* received) {
    *received = 0;
    if (capacity <= 0) {
        return ReceiveResult::kNothing;
    }
    for (bool waited = false;; waited = true) {
        const ssize_t got = recv(fd_, buffer, static_cast<size_t>(capacity), MSG_DONTWAIT);
        if (got > 0) {
            *received = static_cast<int>(got);
            return ReceiveResult::kData;
        }
        if (got == 0) {
            return ReceiveResult::kPeerClosed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return ReceiveResult::kError;
        }
        if (waited || waitMs == 0 || WaitDescriptor(fd_, POLLIN, waitMs) == 0) {
            return ReceiveResult::kNothing;
        }
    }
}

bool TcpClient::Send(const std::uint8_t* data, int n, std::uint32_t timeoutMs) {
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    int done = 0;
    while (done < n) {
        const ssize_t put =
            send(fd_, data + done, static_cast<size_t>(n - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put > 0) {
            done += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline ||
            (WaitDescriptor(fd_, POLLOUT, static_cast<std::uint32_t>(deadline - now)) & POLLOUT) == 0) {
            return false;
        }
    }
    return true;
}

int TcpClient::Pending() {
    int count = 0;
    return ioctl(fd_, FIONREAD, &count) == 0 ? count : 0;
}

void TcpClient::CloseWithReset() {
    if (fd_ < 0) {
        return;
    }
    shutdown(fd_, SHUT_RDWR);
    const linger reset{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(fd_);
    fd_ = -1;
}

}  // namespace vaultra::platform
