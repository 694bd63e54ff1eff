#include "platform/clock.h"

#include <sched.h>
#include <time.h>

#include <cerrno>

namespace vaultra::platform {

std::uint64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t MonotonicMs() {
    return MonotonicNs() / 1'000'000u;
}

void SleepMilliseconds(std::uint32_t ms) {
    if (ms == 0) {
        YieldProcessor();
        return;
    }
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000L};
    // Signals interrupt the sleep; continue with the time that is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void YieldProcessor() {
    sched_yield();
}

void BusyWaitNs(std::uint64_t ns) {
    const std::uint64_t start = MonotonicNs();
    while (MonotonicNs() - start < ns) {
    }
}

}  // namespace vaultra::platform
