// Driver-wide settings of one loaded S7 driver library (shared by every connection it serves).
#pragma once

#include <cstdint>

namespace vaultra::s7 {

inline constexpr int32_t kDefaultTimeoutTicks = 136;  // about 7.5 s for the first byte of an answer
inline constexpr int32_t kDefaultRepeat = 2;
inline constexpr int32_t kDefaultBlockPause = 5;
inline constexpr int32_t kDefaultFlags = 2;
inline constexpr int32_t kFlagTrace = 0x4;

struct Settings {
    int32_t timeoutTicks = kDefaultTimeoutTicks;
    int32_t attempts = kDefaultRepeat + 1;  // every exchange step is tried this often
    int32_t blockPause = kDefaultBlockPause;
    int32_t flags = kDefaultFlags;
};

// The library's one set of settings.
Settings& DriverSettings();

// Setters with the query convention: -1 only reads; the previous value is returned.
int32_t SetTimeOut(int32_t ticks);
int32_t SetBlockPause(int32_t value);
int32_t SetRepeat(int32_t repeat);  // stores repeat + 1 attempts; returns the previous repeat count
int32_t SetFlags(int32_t flags);    // bit 0x4 switches the link trace

// Raises the answer time-out for one exchange and restores it on every path.
class ScopedTimeout {
public:
    explicit ScopedTimeout(int32_t ticks) : saved_(DriverSettings().timeoutTicks) {
        DriverSettings().timeoutTicks = ticks;
    }
    ~ScopedTimeout() { DriverSettings().timeoutTicks = saved_; }
    ScopedTimeout(const ScopedTimeout&) = delete;
    ScopedTimeout& operator=(const ScopedTimeout&) = delete;

private:
    int32_t saved_;
};

}  // namespace vaultra::s7
