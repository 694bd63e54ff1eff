#include "platform/poller.h"

#include <poll.h>

#include <cerrno>
#include <vector>

namespace vaultra::platform {

void Poller::Watch(int fd, Handler handler) {
    handlers_[fd] = std::move(handler);
}

void Poller::Unwatch(int fd) {
    handlers_.erase(fd);
}

bool Poller::RunOnce(std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    fds.reserve(handlers_.size());
    for (const auto& [fd, handler] : handlers_) {
        fds.push_back({fd, POLLIN, 0});
    }
    const int n = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    if (n < 0) {
        return errno == EINTR;
    }
    for (const pollfd& p : fds) {
        if (p.revents == 0) {
            continue;
        }
        // A handler may have removed this or other descriptors; look each one up again.
        auto it = handlers_.find(p.fd);
        if (it != handlers_.end()) {
            Handler handler = it->second;
            handler();
        }
    }
    return true;
}

}  // namespace vaultra::platform
