// Test helper: runs the calendar tests in German local time.
#pragma once

#include <filesystem>

#include "platform/time.h"

namespace vaultra::testing {

// Europe/Berlin from the zone database when it is installed, else the same rules written out.
inline void UseBerlinTime() {
    if (std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin")) {
        platform::SetTimeZone("Europe/Berlin");
    } else {
        platform::SetTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
    }
}

// Seconds of a Berlin wall-clock time.
inline int64_t Berlin(int y, int mo, int d, int h, int mi, int s = 0) {
    return platform::FromLocalTime(y, mo, d, h, mi, s);
}

}  // namespace vaultra::testing
