#include "app/network_card.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/net_adapters.h"

namespace vaultra::app {

namespace {

std::vector<NetworkAdapter> SystemNetworkAdapters() {
    std::vector<NetworkAdapter> out;
    for (const auto& a : platform::ListNetworkAdapters()) {
        // Interfaces have no separate description on this system: the name serves as both.
        out.push_back(NetworkAdapter{a.name, a.name, DottedText(a.address), DottedText(a.netMask)});
    }
    return out;
}

}  // namespace

CNetworkCard::CNetworkCard() : source_(SystemNetworkAdapters) {}

const std::vector<NetworkAdapter>& CNetworkCard::Adapters() {
    if (!adapters_) {
        adapters_ = source_ ? source_() : std::vector<NetworkAdapter>{};
    }
    return *adapters_;
}

int CNetworkCard::IndexOf(std::string_view description) {
    const auto& list = Adapters();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].description == description) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

std::uint32_t CNetworkCard::IpAddress(int index) {
    const auto& list = Adapters();
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return 0xFFFFFFFFu;
    }
    return ParseDottedAddress(list[index].ipAddress).value_or(0xFFFFFFFFu);
}

std::uint32_t CNetworkCard::SubnetMask(int index) {
    const auto& list = Adapters();
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return 0;
    }
    return ParseDottedAddress(list[index].subnetMask).value_or(0);
}

std::optional<std::uint32_t> ParseDottedAddress(std::string_view text) {
    unsigned char bytes[4] = {};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != '.') {
                return std::nullopt;
            }
            ++p;
        }
        unsigned value = 0;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc{} || next == p || next - p > 3 || value > 255) {
            return std::nullopt;
        }
        bytes[i] = static_cast<unsigned char>(value);
        p = next;
    }
    if (p != end) {
        return std::nullopt;
    }
    std::uint32_t networkOrder = 0;
    std::memcpy(&networkOrder, bytes, sizeof networkOrder);
    return networkOrder;
}

std::string DottedText(std::uint32_t networkOrder) {
    unsigned char bytes[4];
    std::memcpy(bytes, &networkOrder, sizeof bytes);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

}  // namespace vaultra::app
