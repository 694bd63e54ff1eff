#include "drivers/link/link_exports.h"

#include <cstring>

#include "platform/net_adapters.h"

namespace vaultra::link {
namespace {

constexpr std::int32_t kS5RateMask = 0x0200;
constexpr std::int32_t kS5RateSelect = 0x0100;

// S7 rate masks: the setting bit selects, the bit one higher reports. 115200 is stored as 0, which
// ComOpenShared maps back to 115200.
struct S7Rate {
    std::uint32_t setMask;
    std::int32_t stored;
};
constexpr S7Rate kS7Rates[] = {{0x1000, 19200}, {0x10000, 38400}, {0x100000, 57600}, {0x1000000, 0}};

std::int32_t g_s7Baud = 19200;

}  // namespace

std::int32_t OpenAll() {
    return 1;
}
std::int32_t CloseAll() {
    return 1;
}

std::int32_t S5GetBaudrate() {
    return kS5RateMask;
}
std::int32_t S5SetBaudrate(std::int32_t rateCode) {
    return (rateCode & kS5RateSelect) != 0 ? 1 : 0;
}

std::int32_t S7SetBaudrate(std::uint32_t rateMask) {
    for (const S7Rate& rate : kS7Rates) {
        if ((rateMask & rate.setMask) != 0) {
            g_s7Baud = rate.stored;
            return 1;
        }
    }
    return 0;
}

std::int32_t S7GetBaudrate() {
    for (const S7Rate& rate : kS7Rates) {
        if (rate.stored == g_s7Baud) {
            return static_cast<std::int32_t>(rate.setMask << 1);
        }
    }
    return 0;
}

std::int32_t S7StoredBaudRate() {
    return g_s7Baud;
}

std::int32_t GetAdapterName(std::int32_t index, char* buffer, std::int32_t /*reserved*/) {
    if (buffer == nullptr || index < 0) {
        return 0;
    }
    try {
        const std::vector<platform::NetworkAdapter> adapters = platform::ListNetworkAdapters();
        if (static_cast<std::size_t>(index) >= adapters.size()) {
            return 0;
        }
        const std::string& name = adapters[static_cast<std::size_t>(index)].name;
        const std::size_t length =
            name.size() < kAdapterNameCapacity ? name.size() : kAdapterNameCapacity - 1;
        std::memcpy(buffer, name.data(), length);
        buffer[length] = '\0';
        return 1;
    } catch (...) {
        return 0;
    }
}

std::int32_t SetAdapterName(const char* /*name*/) {
    return 0;
}

void FlushCom(ConnectionRecord* record) {
    if (record != nullptr && record->connected != 0) {
        ComFlush(record->port);
    }
}

void* GetHandle(std::uint16_t port) {
    return ComGetHandleOf(port);
}

std::int32_t Wep(std::int32_t /*reserved*/) {
    ComCloseAll();
    return 1;
}

}  // namespace vaultra::link
