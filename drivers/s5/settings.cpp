#include "drivers/s5/settings.h"

#include "drivers/link/com.h"

namespace vaultra::s5 {

Settings& LibrarySettings() {
    static Settings settings;
    return settings;
}

void ResetLibrarySettings() {
    const Variant variant = LibrarySettings().variant;
    LibrarySettings() = Settings{};
    LibrarySettings().variant = variant;
    link::ComSetTraceEnabled(false);
}

int32_t SetTimeOut(int32_t ticks) {
    const int32_t previous = LibrarySettings().timeoutTicks;
    if (ticks != -1)
        LibrarySettings().timeoutTicks = ticks;
    return previous;
}

int32_t SetBlockPause(int32_t ms) {
    const int32_t previous = LibrarySettings().blockPauseMs;
    if (ms != -1)
        LibrarySettings().blockPauseMs = ms;
    return previous;
}

int32_t SetRepeat(int32_t retries) {
    const int32_t previous = LibrarySettings().attempts - 1;
    // At least one attempt, whatever the caller asks for.
    if (retries != -1)
        LibrarySettings().attempts = retries < 0 ? 1 : retries + 1;
    return previous;
}

int32_t SetFlags(int32_t flags) {
    const int32_t previous = LibrarySettings().flags;
    if (flags != -1) {
        LibrarySettings().flags = flags;
        LibrarySettings().currentStation = -1;
        link::ComSetTraceEnabled((flags & kFlagTrace) != 0);
    }
    return previous;
}

}  // namespace vaultra::s5
