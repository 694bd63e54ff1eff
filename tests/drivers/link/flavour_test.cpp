// What differs between the flavours; this file is built once per flavour (VAULTRA_TEST_FLAVOUR).
#include <gtest/gtest.h>

#include <string>

#include "drivers/link/com.h"
#include "drivers/link/lan.h"
#include "link_test_support.h"

namespace vaultra::link {
namespace {

using testsupport::Bytes;

#if VAULTRA_TEST_FLAVOUR == 1

TEST(SerialOnlyFlavourTest, HasNoLanConnectionsAndServesPort128AsASerialPort) {
    EXPECT_EQ(LinkFlavour(), Flavour::kSerialOnly);
    EXPECT_EQ(NewMPILanCom("127.0.0.1", 2000, 2000, 5000, 1, 0, 0), kLanNotAvailable);
    EXPECT_EQ(NewMPILanCom("not an address", 0, 0, 0, 0, 0, 0), kLanNotAvailable);
    testsupport::PtyPort pty(128);  // COM129
    ASSERT_EQ(ComOpenShared(128, 9600, 8, 'e', 2), 1);
    EXPECT_NE(ComGetHandleOf(128), nullptr);
    ASSERT_EQ(ComWriteByte(128, 0x5A), 1);
    EXPECT_EQ(pty.Receive(1), (Bytes{0x5A}));
    EXPECT_EQ(ComRelease(128), 1);
}

#else

TEST(LanFlavourTest, FramingTypeThreeIsRawWithoutTheIsoOnTcpFlavour) {
    EXPECT_EQ(LinkFlavour(), Flavour::kLan);
    testsupport::LoopbackServer server;
    testsupport::ScopedEnv raw("VAULTRA_LAN_RAW_PORT", std::to_string(server.Port()));
    testsupport::ScopedEnv iso("VAULTRA_ISO_TCP_PORT", "1");
    EXPECT_EQ(LanTcpPortFor(3), server.Port());
    const std::int32_t port = NewMPILanCom("127.0.0.1", 1000, 1000, 2000, 3, 0, 0);
    ASSERT_EQ(port, kFirstLanPort);
    ASSERT_EQ(ComOpenShared(static_cast<Port>(port), 0, 8, 'n', 1), 1);
    const std::uint8_t data[] = {0x02, 0xF0, 0x80};
    ASSERT_EQ(ComWrite(static_cast<Port>(port), data, 3), 1);
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(3), (Bytes{0x02, 0xF0, 0x80}));
    EXPECT_EQ(ComRelease(static_cast<Port>(port)), 1);
}

TEST(LanFlavourTest, DefaultPortsWithoutOverrides) {
    for (const char* name : {"VAULTRA_LAN_RAW_PORT", "VAULTRA_LAN_FRAMED_PORT", "VAULTRA_ISO_TCP_PORT"}) {
        unsetenv(name);
    }
    EXPECT_EQ(LanTcpPortFor(1), 10010);
    EXPECT_EQ(LanTcpPortFor(2), 64738);
    EXPECT_EQ(LanTcpPortFor(3), 10010);
    EXPECT_EQ(LanTcpPortFor(-7), 10010);
}

#endif

}  // namespace
}  // namespace vaultra::link
