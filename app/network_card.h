// The local network adapters that LAN connections are made from: description, first IPv4 address and
// first IPv4 mask of each, in the system's order. The list is read once, at first use.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vaultra::app {

struct NetworkAdapter {
    std::string description;  // shown to the operator and stored as the station's adapter name
    std::string name;
    std::string ipAddress;   // dotted text
    std::string subnetMask;  // dotted text
};

class CNetworkCard {
public:
    using Source = std::function<std::vector<NetworkAdapter>()>;

    CNetworkCard();  // the operating system's adapter list
    explicit CNetworkCard(Source source) : source_(std::move(source)) {}

    const std::vector<NetworkAdapter>& Adapters();
    // Index of the adapter with this description; 0 (the first adapter) when none has it.
    int IndexOf(std::string_view description);
    // First IPv4 address of adapter i in network byte order; all ones when there is no such adapter.
    std::uint32_t IpAddress(int index);
    // First IPv4 mask of adapter i in network byte order; 0 when there is no such adapter.
    std::uint32_t SubnetMask(int index);

private:
    Source source_;
    std::optional<std::vector<NetworkAdapter>> adapters_;
};

// Dotted IPv4 text as a 32-bit value whose bytes in memory are in network order; nothing when the text is
// not four decimal parts of 0..255.
std::optional<std::uint32_t> ParseDottedAddress(std::string_view text);
// The dotted text of such a value.
std::string DottedText(std::uint32_t networkOrder);

}  // namespace vaultra::app
