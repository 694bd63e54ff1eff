#include "platform/net_adapters.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace vaultra::platform {
namespace {

bool Listed(const std::vector<NetworkAdapter>& adapters, const char* name) {
    return std::any_of(adapters.begin(), adapters.end(),
                       [name](const NetworkAdapter& a) { return a.name == name; });
}

NetworkAdapter FromEntry(const ifaddrs& entry) {
    NetworkAdapter adapter{};
    adapter.name = entry.ifa_name;
    adapter.index = if_nametoindex(entry.ifa_name);
    adapter.address = reinterpret_cast<const sockaddr_in*>(entry.ifa_addr)->sin_addr.s_addr;
    adapter.netMask = entry.ifa_netmask != nullptr && entry.ifa_netmask->sa_family == AF_INET
                          ? reinterpret_cast<const sockaddr_in*>(entry.ifa_netmask)->sin_addr.s_addr
                          : 0;
    adapter.loopback = (entry.ifa_flags & IFF_LOOPBACK) != 0;
    return adapter;
}

}  // namespace

std::vector<NetworkAdapter> ListNetworkAdapters() {
    std::vector<NetworkAdapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return adapters;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        // The first IPv4 address of an interface names it; aliases after it are skipped.
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            Listed(adapters, entry->ifa_name)) {
            continue;
        }
        adapters.push_back(FromEntry(*entry));
    }
    freeifaddrs(list);
    std::stable_sort(adapters.begin(), adapters.end(), [](const NetworkAdapter& a, const NetworkAdapter& b) {
        return a.loopback != b.loopback ? !a.loopback : a.index < b.index;
    });
    return adapters;
}

}  // namespace vaultra::platform
