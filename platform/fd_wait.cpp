#include "platform/fd_wait.h"

#include <poll.h>

#include <cerrno>

#include "platform/clock.h"

namespace vaultra::platform {

short WaitDescriptor(int fd, short events, std::uint32_t waitMs) {
    pollfd entry{fd, events, 0};
    const std::uint64_t deadline = MonotonicMs() + waitMs;
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        const int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
        const int ready = poll(&entry, 1, left);
        if (ready > 0) {
            return entry.revents;
        }
        if (ready == 0 || errno != EINTR) {
            return 0;
        }
    }
}

}  // namespace vaultra::platform
