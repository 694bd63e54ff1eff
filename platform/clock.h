// Monotonic time and sleeps.
#pragma once

#include <cstdint>

namespace vaultra::platform {

// Milliseconds and nanoseconds of the monotonic clock (since an arbitrary start, e.g. system boot).
std::uint64_t MonotonicMs();
std::uint64_t MonotonicNs();
// Sleeps at least ms milliseconds (0 yields the processor).
void SleepMilliseconds(std::uint32_t ms);
void YieldProcessor();
// Spins on the monotonic clock until ns nanoseconds have passed: for waits finer than the sleep granularity.
void BusyWaitNs(std::uint64_t ns);

}  // namespace vaultra::platform
