#include "drivers/s7/settings.h"

#include "drivers/link/com.h"

namespace vaultra::s7 {

Settings& DriverSettings() {
    static Settings settings;
    return settings;
}

namespace {
int32_t Exchange(int32_t& slot, int32_t value) {
    const int32_t previous = slot;
    if (value != -1)
        slot = value;
    return previous;
}
}  // namespace

int32_t SetTimeOut(int32_t ticks) {
    return Exchange(DriverSettings().timeoutTicks, ticks);
}

int32_t SetBlockPause(int32_t value) {
    return Exchange(DriverSettings().blockPause, value);
}

int32_t SetRepeat(int32_t repeat) {
    Settings& s = DriverSettings();
    const int32_t previous = s.attempts - 1;
    // A negative count other than the query would leave no attempt at all; keep at least one.
    if (repeat != -1)
        s.attempts = repeat < 0 ? 1 : repeat + 1;
    return previous;
}

int32_t SetFlags(int32_t flags) {
    const int32_t previous = Exchange(DriverSettings().flags, flags);
    link::ComSetTraceEnabled((DriverSettings().flags & kFlagTrace) != 0);
    return previous;
}

}  // namespace vaultra::s7
