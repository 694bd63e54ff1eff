// Library-wide settings and line state of one loaded S5 driver library, shared by every context it serves.
#pragma once

#include <cstdint>

namespace vaultra::s5 {

inline constexpr int32_t kDefaultTimeoutTicks = 81;
inline constexpr int32_t kDefaultBlockPauseMs = 5;
inline constexpr int32_t kDefaultAttempts = 3;
inline constexpr int32_t kDefaultFlags = 2;

inline constexpr int32_t kFlagLongBreak = 0x1;     // long break before a PG-bus select
inline constexpr int32_t kFlagSkipReselect = 0x2;  // no select when the station is already selected
inline constexpr int32_t kFlagTrace = 0x4;         // line trace to the dump file

// The serial library and the LAN-capable one differ in a few details of the exchange.
enum class Variant { Serial, Lan };

struct Settings {
    int32_t timeoutTicks = kDefaultTimeoutTicks;
    int32_t blockPauseMs = kDefaultBlockPauseMs;
    int32_t attempts = kDefaultAttempts;
    int32_t flags = kDefaultFlags;
    int32_t currentStation = -1;  // PG-bus station selected last, -1 for none
    uint32_t lastActivityTick = 0;
    Variant variant = Variant::Serial;
};

Settings& LibrarySettings();
// Back to the values after loading (tests); the variant is kept.
void ResetLibrarySettings();

// Setters with the query convention: -1 only reads; the previous value is returned.
int32_t SetTimeOut(int32_t ticks);
int32_t SetBlockPause(int32_t ms);
int32_t SetRepeat(int32_t retries);  // stores retries + 1 attempts, returns the previous attempts - 1
int32_t SetFlags(int32_t flags);     // a set also forgets the selected PG-bus station

// Raises the response time-out for one step and restores it on every path.
class ScopedTimeout {
public:
    explicit ScopedTimeout(int32_t ticks) : saved_(LibrarySettings().timeoutTicks) {
        LibrarySettings().timeoutTicks = ticks;
    }
    ~ScopedTimeout() { LibrarySettings().timeoutTicks = saved_; }
    ScopedTimeout(const ScopedTimeout&) = delete;
    ScopedTimeout& operator=(const ScopedTimeout&) = delete;

private:
    int32_t saved_;
};

}  // namespace vaultra::s5
