#include "platform/lock_leds.h"

#include <charconv>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace vaultra::platform {

namespace {

// A machine has a handful of LEDs; a directory far larger than that is not read to its end.
constexpr int kMaxLedEntries = 4096;
constexpr size_t kMaxBrightnessBytes = 32;

// A lit LED decides; a dark one only turns "unknown" into "off".
void Merge(std::optional<bool>& lock, bool lit) {
    lock = lock.value_or(false) || lit;
}

std::optional<bool>* LockOf(LockIndicators& state, std::string_view ledName) {
    const auto separator = ledName.rfind("::");
    if (separator == std::string_view::npos) {
        return nullptr;
    }
    const std::string_view function = ledName.substr(separator + 2);
    if (function == "capslock") {
        return &state.caps;
    }
    if (function == "numlock") {
        return &state.num;
    }
    if (function == "scrolllock") {
        return &state.scroll;
    }
    return nullptr;
}

}  // namespace

std::optional<bool> ParseLedBrightness(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value != 0;
}

LockIndicators ReadLockLeds(const std::filesystem::path& ledsDirectory) {
    LockIndicators state;
    std::error_code error;
    std::filesystem::directory_iterator it(ledsDirectory, error);
    for (int seen = 0; !error && it != std::filesystem::directory_iterator() && seen < kMaxLedEntries;
         it.increment(error), ++seen) {
        const std::string name = it->path().filename().string();
        std::optional<bool>* lock = LockOf(state, name);
        if (lock == nullptr) {
            continue;
        }
        const auto text = ReadFileBytes(it->path() / "brightness", kMaxBrightnessBytes);
        const auto lit = text ? ParseLedBrightness(*text) : std::nullopt;
        if (lit) {
            Merge(*lock, *lit);
        }
    }
    return state;
}

}  // namespace vaultra::platform
