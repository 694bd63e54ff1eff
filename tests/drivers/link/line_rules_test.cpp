// The fixed rules of the link: line settings, read time-outs, receive ring, environment, export behaviours.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "drivers/link/environment.h"
#include "drivers/link/fake_link.h"
#include "drivers/link/line_settings.h"
#include "drivers/link/link_exports.h"
#include "drivers/link/receive_ring.h"
#include "drivers/link/tpkt.h"
#include "link_test_support.h"
#include "platform/net_adapters.h"

namespace vaultra::link {
namespace {

TEST(LineRulesTest, TpktHeaderCountsItselfAndRefusesAForeignVersionOrAShortLength) {
    const auto header = TpktHeader(3);
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin(), header.end()),
              (std::vector<std::uint8_t>{0x03, 0x00, 0x00, 0x07}));
    EXPECT_EQ(TpktHeader(0x1234 - kTpktHeaderSize)[2], 0x12);  // big-endian
    std::size_t total = 0;
    ASSERT_TRUE(ParseTpktHeader(header, total));
    EXPECT_EQ(total, 7u);
    const std::uint8_t foreign[] = {0x04, 0x00, 0x00, 0x07};
    const std::uint8_t tooShort[] = {0x03, 0x00, 0x00, 0x03};
    const std::uint8_t cut[] = {0x03, 0x00};
    EXPECT_FALSE(ParseTpktHeader(foreign, total));
    EXPECT_FALSE(ParseTpktHeader(tooShort, total));
    EXPECT_FALSE(ParseTpktHeader(cut, total));
}

TEST(LineRulesTest, BaudParityAndStopBitsMapping) {
    EXPECT_EQ(MapBaudRate(0), 115200);
    for (std::int32_t kept : {1200, 2400, 4800, 19200, 38400, 57600}) {
        EXPECT_EQ(MapBaudRate(kept), kept);
    }
    for (std::int32_t other : {300, 9600, 115200, 14400, -1}) {
        EXPECT_EQ(MapBaudRate(other), 9600) << other;
    }
    EXPECT_EQ(ParityFromChar('E'), platform::SerialParity::kEven);
    EXPECT_EQ(ParityFromChar('e'), platform::SerialParity::kEven);
    EXPECT_EQ(ParityFromChar('O'), platform::SerialParity::kOdd);
    EXPECT_EQ(ParityFromChar('o'), platform::SerialParity::kOdd);
    EXPECT_EQ(ParityFromChar('N'), platform::SerialParity::kNone);
    EXPECT_EQ(ParityFromChar('\0'), platform::SerialParity::kNone);
    EXPECT_EQ(StopBitsCode(2), 2);
    EXPECT_EQ(StopBitsCode(1), 0);
    EXPECT_EQ(StopBitsCode(0), 0);
}

TEST(LineRulesTest, ReadTimeoutsFollowTheCharacterFactor) {
    EXPECT_EQ(ReadAttemptWaitMs(90), 1000u);  // S5: one second per attempt
    EXPECT_EQ(ReadAttemptWaitMs(109), 1000u);
    EXPECT_EQ(ReadAttemptWaitMs(16), 16u * 55u + 1000u);
    EXPECT_EQ(ReadAttemptWaitMs(0), 1000u);
    EXPECT_EQ(ReadAttempts(1091, 90), 12);
    EXPECT_EQ(ReadAttempts(89, 90), 1);  // below F: still one attempt
    EXPECT_EQ(ReadAttempts(0, 90), 1);
    EXPECT_EQ(ReadAttempts(136, 16), 8);
    EXPECT_EQ(ReadAttempts(5, 0), 5);  // a factor of 0 never divides by zero
    EXPECT_EQ(WriteTimeoutMs(10), 1100u);
    EXPECT_EQ(WriteTimeoutMs(0x7FFFFFFF), 0xFFFFFFFFu);  // saturates instead of wrapping
}

TEST(ReceiveRingTest, FillsNeverOverwriteUnreadBytesAndIndicesWrap) {
    ReceiveRing ring;
    auto [space, length] = ring.FreeSpace();
    ASSERT_EQ(length, ReceiveRing::kSize);
    for (std::size_t i = 0; i < 2000; ++i) {
        space[i] = static_cast<std::uint8_t>(i);
    }
    ring.Commit(2000);
    for (std::size_t i = 0; i < 1500; ++i) {
        ASSERT_EQ(ring.Take(), static_cast<std::uint8_t>(i));
    }
    // 500 unread bytes: 48 contiguous bytes at the end, then the wrap offers the 1500 freed at the start.
    auto [tail, tailLength] = ring.FreeSpace();
    ASSERT_EQ(tailLength, 48u);
    for (std::size_t i = 0; i < tailLength; ++i) {
        tail[i] = 0xE0;
    }
    ring.Commit(tailLength);
    auto [head, headLength] = ring.FreeSpace();
    EXPECT_EQ(headLength, 1500u);
    ring.Commit(headLength);
    EXPECT_EQ(ring.FreeSpace().second, 0u);  // full: a fill gets no room
    EXPECT_EQ(ring.Count(), ReceiveRing::kSize);
    EXPECT_EQ(ring.Take(), static_cast<std::uint8_t>(1500));
    ring.Clear();
    EXPECT_TRUE(ring.Empty());
    EXPECT_EQ(ring.FreeSpace().second, ReceiveRing::kSize);
}

TEST(EnvironmentTest, SerialDevicePathsAndPortOverrides) {
    EXPECT_EQ(SerialDevicePath(0), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath(255), "/dev/ttyS255");
    {
        testsupport::ScopedEnv com1("VAULTRA_COM1", "/dev/ttyUSB0");
        testsupport::ScopedEnv com256("VAULTRA_COM256", "/tmp/plc-pty");
        EXPECT_EQ(SerialDevicePath(0), "/dev/ttyUSB0");
        EXPECT_EQ(SerialDevicePath(255), "/tmp/plc-pty");
        EXPECT_EQ(SerialDevicePath(1), "/dev/ttyS1");
    }
    {
        testsupport::ScopedEnv empty("VAULTRA_COM1", "");
        EXPECT_EQ(SerialDevicePath(0), "/dev/ttyS0");
    }
    EXPECT_EQ(TcpPortFromEnvironment("VAULTRA_TEST_UNSET_PORT", 102), 102);
    for (const char* bad : {"", "abc", "0", "65536", "12x", "-5", " 80"}) {
        testsupport::ScopedEnv port("VAULTRA_TEST_PORT", bad);
        EXPECT_EQ(TcpPortFromEnvironment("VAULTRA_TEST_PORT", 102), 102) << bad;
    }
    testsupport::ScopedEnv port("VAULTRA_TEST_PORT", "65535");
    EXPECT_EQ(TcpPortFromEnvironment("VAULTRA_TEST_PORT", 102), 65535);
}

TEST(LinkExportsTest, RateSettingsOfBothFamilies) {
    EXPECT_EQ(S5GetBaudrate(), 0x0200);
    EXPECT_EQ(S5SetBaudrate(0x0100), 1);
    EXPECT_EQ(S5SetBaudrate(0x0300), 1);
    EXPECT_EQ(S5SetBaudrate(0x0200), 0);
    EXPECT_EQ(S5GetBaudrate(), 0x0200);

    EXPECT_EQ(S7GetBaudrate(), 0x2000);  // 19200 by default
    EXPECT_EQ(S7StoredBaudRate(), 19200);
    EXPECT_EQ(S7SetBaudrate(0x1000000), 1);
    EXPECT_EQ(S7GetBaudrate(), 0x2000000);
    EXPECT_EQ(S7StoredBaudRate(), 0);                 // 115200 is stored as 0
    EXPECT_EQ(S7SetBaudrate(0x1000 | 0x1000000), 1);  // the lowest wins
    EXPECT_EQ(S7StoredBaudRate(), 19200);
    EXPECT_EQ(S7SetBaudrate(0x100000 | 0x10000), 1);
    EXPECT_EQ(S7GetBaudrate(), 0x20000);
    EXPECT_EQ(S7SetBaudrate(0x2000), 0);  // no setting bit: unchanged
    EXPECT_EQ(S7GetBaudrate(), 0x20000);
    EXPECT_EQ(S7SetBaudrate(0x1000), 1);
}

TEST(LinkExportsTest, FixedResultsAndFlushOnlyWhenConnected) {
    EXPECT_EQ(OpenAll(), 1);
    EXPECT_EQ(CloseAll(), 1);
    EXPECT_EQ(SetAdapterName("eth0"), 0);

    testing::FakeLinkScope fake;
    ConnectionRecord record{};
    record.port = 4;
    FlushCom(&record);  // not connected: the port is left alone
    EXPECT_EQ(fake.link.Flushes(), 0);
    record.connected = 1;
    FlushCom(&record);
    EXPECT_EQ(fake.link.Flushes(), 1);
    record.port = 300;  // out of the table: nothing reached
    FlushCom(&record);
    FlushCom(nullptr);
    EXPECT_EQ(fake.link.Flushes(), 1);

    ASSERT_EQ(ComOpenShared(4, 9600, 8, 'e', 2), 1);
    EXPECT_NE(GetHandle(4), nullptr);
    EXPECT_EQ(Wep(0), 1);  // closes every port
    EXPECT_EQ(fake.link.OpenCount(4), 0);
    EXPECT_EQ(GetHandle(4), nullptr);
}

TEST(LinkExportsTest, AdapterNamesAreListedInAStableOrderWithLoopbackLast) {
    std::vector<std::string> names;
    char buffer[kAdapterNameCapacity];
    for (std::int32_t index = 0; GetAdapterName(index, buffer, 0) == 1; ++index) {
        ASSERT_LT(index, 1000);
        names.emplace_back(buffer);
    }
    ASSERT_FALSE(names.empty());  // at least the loopback interface has an IPv4 address
    EXPECT_EQ(names.back(), "lo");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(GetAdapterName(static_cast<std::int32_t>(names.size()), buffer, 0), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(GetAdapterName(-1, buffer, 0), 0);
    const std::vector<platform::NetworkAdapter> adapters = platform::ListNetworkAdapters();
    ASSERT_EQ(adapters.size(), names.size());
    for (std::size_t i = 1; i < adapters.size(); ++i) {
        if (!adapters[i].loopback) {
            EXPECT_FALSE(adapters[i - 1].loopback);
            EXPECT_LT(adapters[i - 1].index, adapters[i].index);
        }
    }
    // A second listing gives the same order.
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(GetAdapterName(static_cast<std::int32_t>(i), buffer, 0), 1);
        EXPECT_EQ(names[i], buffer);
    }
}

}  // namespace
}  // namespace vaultra::link
