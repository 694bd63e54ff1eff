// The keyboard lock indicators (caps, num and scroll lock) as the kernel's keyboard LEDs show them.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace vaultra::platform {

// Each lock's state; empty where the source cannot tell.
struct LockIndicators {
    std::optional<bool> caps;
    std::optional<bool> num;
    std::optional<bool> scroll;

    bool AnyKnown() const { return caps.has_value() || num.has_value() || scroll.has_value(); }
    bool operator==(const LockIndicators&) const = default;
};

inline constexpr const char* kLedsDirectory = "/sys/class/leds";

// The LEDs under ledsDirectory named <device>::capslock, ::numlock and ::scrolllock, each with a brightness
// file: a lock is on when the LED of any keyboard is lit, off when all its readable LEDs are dark, and
// unknown when no keyboard has a readable LED for it.
LockIndicators ReadLockLeds(const std::filesystem::path& ledsDirectory = kLedsDirectory);

// The brightness file's contents as lit (nonzero) or dark; nothing when it holds no plain number.
std::optional<bool> ParseLedBrightness(std::string_view text);

}  // namespace vaultra::platform
