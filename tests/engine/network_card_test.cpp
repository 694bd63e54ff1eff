#include <gtest/gtest.h>

#include "app/network_card.h"

namespace vaultra::app {
namespace {

uint32_t NetworkOrder(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return ParseDottedAddress(std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
                              std::to_string(d))
        .value();
}

TEST(CNetworkCard, NoAdapterGivesFirstIndexAllOnesAddressAndZeroMask) {
    CNetworkCard card([] { return std::vector<NetworkAdapter>{}; });
    EXPECT_EQ(card.IndexOf("eth0"), 0);
    EXPECT_EQ(card.IpAddress(0), 0xFFFFFFFFu);
    EXPECT_EQ(card.SubnetMask(0), 0u);
}

TEST(CNetworkCard, FindsTheAdapterByDescriptionElseTheFirstAndReadsTheListOnce) {
    int reads = 0;
    CNetworkCard card([&reads] {
        ++reads;
        return std::vector<NetworkAdapter>{{"eth0", "eth0", "192.168.1.20", "255.255.255.0"},
                                           {"lo", "lo", "127.0.0.1", "255.0.0.0"}};
    });
    EXPECT_EQ(card.IndexOf("lo"), 1);
    EXPECT_EQ(card.IndexOf("wlan7"), 0);
    EXPECT_EQ(card.IpAddress(1), NetworkOrder(127, 0, 0, 1));
    EXPECT_EQ(card.SubnetMask(0), NetworkOrder(255, 255, 255, 0));
    EXPECT_EQ(card.IpAddress(2), 0xFFFFFFFFu);
    EXPECT_EQ(card.SubnetMask(-1), 0u);
    EXPECT_EQ(reads, 1);
}

TEST(DottedAddress, BytesInMemoryAreInNetworkOrderAndBadTextIsRefused) {
    const uint32_t value = ParseDottedAddress("10.1.2.3").value();
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[3], 3);
    EXPECT_EQ(DottedText(value), "10.1.2.3");
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 ", "-1.2.3.4"}) {
        EXPECT_FALSE(ParseDottedAddress(bad).has_value()) << bad;
    }
}

TEST(CNetworkCard, SystemListComesWithLoopbackLast) {
    CNetworkCard card;
    const auto& list = card.Adapters();
    ASSERT_FALSE(list.empty());  // every Linux machine has at least the loopback interface
    EXPECT_EQ(list.back().ipAddress.rfind("127.", 0), 0u);
}

}  // namespace
}  // namespace vaultra::app
