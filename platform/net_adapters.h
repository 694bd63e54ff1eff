// The machine's network adapters with an IPv4 address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vaultra::platform {

struct NetworkAdapter {
    std::string name;       // interface name, e.g. "eth0" (also the adapter's description)
    unsigned index = 0;     // interface index
    std::uint32_t address;  // first IPv4 address, network byte order
    std::uint32_t netMask;  // its mask, network byte order
    bool loopback = false;
};

// Every interface with an IPv4 address, in interface-index order with loopback interfaces last; empty when
// the list cannot be read.
std::vector<NetworkAdapter> ListNetworkAdapters();

}  // namespace vaultra::platform
