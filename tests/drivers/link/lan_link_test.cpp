// LAN connections of the link over loopback TCP (ISO-on-TCP flavour: framing types 1, 2 and 3).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "drivers/link/com.h"
#include "drivers/link/lan.h"
#include "link_test_support.h"

namespace vaultra::link {
namespace {

using testsupport::Bytes;
using testsupport::LoopbackServer;
using testsupport::ScopedEnv;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

Bytes Sequence(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 251);
    }
    return bytes;
}

Bytes Concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

class LanLinkTest : public ::testing::Test {
protected:
    LanLinkTest()
        : raw_("VAULTRA_LAN_RAW_PORT", std::to_string(server.Port())),
          framed_("VAULTRA_LAN_FRAMED_PORT", std::to_string(server.Port())),
          iso_("VAULTRA_ISO_TCP_PORT", std::to_string(server.Port())) {}

    void TearDown() override {
        ComCloseAll();
        for (int port = kFirstLanPort; port < kPortCount; ++port) {
            ComClose(static_cast<Port>(port));  // drops registrations that were never opened
        }
    }

    // Registers 127.0.0.1 with the framing type and opens the port.
    Port OpenLan(std::int16_t framing, std::int32_t receiveMs = 2000, std::int32_t connectMs = 2000) {
        const std::int32_t port = NewMPILanCom("127.0.0.1", receiveMs, 2000, connectMs, framing, 0, 0);
        EXPECT_GE(port, kFirstLanPort);
        EXPECT_EQ(ComOpenShared(static_cast<Port>(port), 0, 8, 'n', 1), 1);
        return static_cast<Port>(port);
    }

    LoopbackServer server;

private:
    ScopedEnv raw_, framed_, iso_;
};

TEST_F(LanLinkTest, BytesOnTheWireForEachFramingType) {
    const Bytes block = Sequence(300);
    struct Case {
        std::int16_t framing;
        Bytes byteFrame;  // ComWriteByte(0x41)
        Bytes blockHead;  // before the 300 data bytes of ComWrite
    };
    const Case cases[] = {
        {1, {0x41}, {}},
        {0, {0x41}, {}},  // unknown types are raw
        {5, {0x41}, {}},
        {2, {0x01, 0x00, 0x41}, {0x2C, 0x01}},  // length, least significant byte first
        {3, {0x03, 0x00, 0x00, 0x05, 0x41}, {0x03, 0x00, 0x01, 0x30}},  // TPKT with the total length
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.framing);
        const Port port = OpenLan(c.framing);
        ASSERT_EQ(ComWriteByte(port, 0x41), 1);
        ASSERT_TRUE(server.Accept());
        EXPECT_EQ(server.Receive(c.byteFrame.size()), c.byteFrame);
        ASSERT_EQ(ComWrite(port, block.data(), static_cast<std::int32_t>(block.size())), 1);
        EXPECT_EQ(server.Receive(c.blockHead.size() + block.size()), Concat(c.blockHead, block));
        EXPECT_TRUE(server.Silent(20));
        EXPECT_EQ(ComRelease(port), 1);
    }
}

TEST_F(LanLinkTest, OverlongWritesAreRefusedBeforeSending) {
    const Bytes data = Sequence(1025);
    struct Case {
        std::int16_t framing;
        std::int32_t longest;  // data bytes
        std::size_t header;
    };
    for (const Case& c : {Case{1, 1024, 0}, Case{2, 1022, 2}, Case{3, 1020, 4}}) {
        SCOPED_TRACE(c.framing);
        const Port port = OpenLan(c.framing);
        EXPECT_EQ(ComWrite(port, data.data(), c.longest + 1), 0);
        ASSERT_EQ(ComWrite(port, data.data(), c.longest), 1);
        ASSERT_TRUE(server.Accept());
        EXPECT_EQ(server.Receive(c.header + static_cast<std::size_t>(c.longest)).size(),
                  c.header + static_cast<std::size_t>(c.longest));
        EXPECT_TRUE(server.Silent(20));
        ComRelease(port);
    }
}

TEST_F(LanLinkTest, TpktPacketsAreReassembledStrippedAndCut) {
    const Port port = OpenLan(kFramingTpkt);
    std::uint8_t buffer[16] = {};
    ASSERT_EQ(ComWriteByte(port, 0x00), 1);  // connects
    ASSERT_TRUE(server.Accept());
    server.Receive(5);
    // Two packets in one segment, the third split inside its header, the fourth longer than the buffer.
    server.Send({0x03, 0x00, 0x00, 0x07, 0x02, 0xF0, 0x80, 0x03, 0x00, 0x00, 0x05, 0xAA});
    ASSERT_EQ(ComReadPacket(port, buffer, sizeof buffer), 3);
    EXPECT_EQ((Bytes{buffer, buffer + 3}), (Bytes{0x02, 0xF0, 0x80}));
    ASSERT_EQ(ComReadPacket(port, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], 0xAA);

    std::thread peer([this] {
        server.Send({0x03, 0x00});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.Send({0x00, 0x06, 0x11, 0x22});
        server.Send(Concat({0x03, 0x00, 0x00, 0x18}, Sequence(20)));
        server.Send({0x03, 0x00, 0x00, 0x05, 0x77});
    });
    EXPECT_EQ(ComReadPacket(port, buffer, sizeof buffer), 2);
    EXPECT_EQ(buffer[1], 0x22);
    EXPECT_EQ(ComReadPacket(port, buffer, 4), 4);  // the rest of the 20 bytes is dropped
    EXPECT_EQ((Bytes{buffer, buffer + 4}), Sequence(4));
    EXPECT_EQ(ComReadPacket(port, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], 0x77);
    peer.join();
}

TEST_F(LanLinkTest, AStreamThatIsNotTpktDropsTheConnection) {
    const Port port = OpenLan(kFramingTpkt);
    ASSERT_EQ(ComWriteByte(port, 0x00), 1);
    ASSERT_TRUE(server.Accept());
    server.Receive(5);
    server.Send({0x45, 0x00, 0x00, 0x05, 0x01});
    std::uint8_t buffer[8];
    EXPECT_EQ(ComReadPacket(port, buffer, sizeof buffer), 0);
    EXPECT_TRUE(server.ClientGone());
    // The next write starts over on a new connection.
    ASSERT_EQ(ComWriteByte(port, 0x09), 1);
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(5), (Bytes{0x03, 0x00, 0x00, 0x05, 0x09}));
}

TEST_F(LanLinkTest, RegistryResults) {
    const std::int32_t first = NewMPILanCom("127.0.0.1", 2000, 2000, 2000, 1, 0, 0);
    EXPECT_EQ(first, kFirstLanPort);
    // The same address again: the same port, the first settings stay (raw framing).
    EXPECT_EQ(NewMPILanCom("127.0.0.1", 10, 10, 10, 2, 0, 0), first);
    ASSERT_EQ(ComOpenShared(static_cast<Port>(first), 0, 8, 'n', 1), 1);
    ASSERT_EQ(ComWriteByte(static_cast<Port>(first), 0x41), 1);
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(3, 200), (Bytes{0x41}));

    for (const char* invalid : {"", "1.2.3", "256.0.0.1", "127.0.0.1 ", "localhost", "::1"}) {
        EXPECT_EQ(NewMPILanCom(invalid, 1, 1, 1, 1, 0, 0), kLanInvalidAddress) << invalid;
    }
    EXPECT_EQ(NewMPILanCom(nullptr, 1, 1, 1, 1, 0, 0), kLanInvalidAddress);

    for (int i = 1; i < 128; ++i) {
        const std::string address = "127.0.1." + std::to_string(i);
        EXPECT_EQ(NewMPILanCom(address.c_str(), 1, 1, 1, 1, 0, 0), kFirstLanPort + i);
    }
    EXPECT_EQ(NewMPILanCom("127.0.2.1", 1, 1, 1, 1, 0, 0), kLanNoFreePort);
    EXPECT_EQ(NewMPILanCom("127.0.1.5", 1, 1, 1, 1, 0, 0), kFirstLanPort + 5);  // registered ones still found
}

TEST_F(LanLinkTest, TheLastReleaseForgetsTheRegistration) {
    EXPECT_EQ(ComOpenShared(kFirstLanPort + 7, 0, 8, 'n', 1), 0);  // never registered
    const Port port = OpenLan(kFramingRaw);
    ASSERT_EQ(ComOpenShared(port, 9600, 8, 'e', 2), 1);
    EXPECT_EQ(ComRelease(port), 1);
    ASSERT_EQ(ComWriteByte(port, 0x01), 1);  // still open once
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(1), (Bytes{0x01}));
    EXPECT_EQ(ComRelease(port), 1);
    EXPECT_TRUE(server.ClientGone());
    EXPECT_EQ(ComRelease(port), 0);
    EXPECT_EQ(ComOpenShared(port, 0, 8, 'n', 1), 0);
    EXPECT_EQ(ComWriteByte(port, 0x01), 0);
    EXPECT_EQ(NewMPILanCom("127.0.0.1", 2000, 2000, 2000, 1, 0, 0), port);
    EXPECT_EQ(ComOpenShared(port, 0, 8, 'n', 1), 1);
}

TEST_F(LanLinkTest, AReadAfterThePeerClosedSaysSoAtOnceAndTheNextWriteConnectsAnew) {
    for (const std::int16_t framing : {kFramingRaw, kFramingLengthPrefixed}) {
        SCOPED_TRACE(framing);
        const Port port = OpenLan(framing, /*receiveMs=*/1500);
        ASSERT_EQ(ComWriteByte(port, 0x01), 1);
        ASSERT_TRUE(server.Accept());
        server.Send({0x10});
        std::uint8_t value = 0;
        ASSERT_EQ(ComReadByteTimed(port, &value, 20), 1);
        EXPECT_EQ(value, 0x10);
        EXPECT_EQ(ComConnectionLost(port), 0);

        // Silence on a live connection is waited for and is no loss.
        auto start = Clock::now();
        EXPECT_EQ(ComReadByteTimed(port, &value, 4), 0);
        EXPECT_GE(ElapsedMs(start), 200);
        EXPECT_EQ(ComConnectionLost(port), 0);

        // A closed connection ends the read at once, and the read makes no new one.
        server.CloseClient();
        start = Clock::now();
        EXPECT_EQ(ComReadByteTimed(port, &value, 20), 0);
        EXPECT_LT(ElapsedMs(start), 500);
        EXPECT_EQ(ComConnectionLost(port), 1);
        EXPECT_FALSE(server.Accept(100));

        ASSERT_EQ(ComWriteByte(port, 0x02), 1);
        ASSERT_TRUE(server.Accept());
        server.Send({0x20});
        ASSERT_EQ(ComReadByteTimed(port, &value, 20), 1);
        EXPECT_EQ(value, 0x20);
        EXPECT_EQ(ComConnectionLost(port), 0);
        ComRelease(port);
        server.CloseClient();
    }
}

TEST_F(LanLinkTest, ReadsWaitTheirTimeoutsAndInputChecksDoNotWait) {
    const Port port = OpenLan(kFramingRaw, /*receiveMs=*/150);
    std::uint8_t value = 0;
    auto start = Clock::now();
    EXPECT_EQ(ComHasInput(port), 0);  // connects, polls
    EXPECT_LT(ElapsedMs(start), 100);
    ASSERT_TRUE(server.Accept());

    start = Clock::now();
    EXPECT_EQ(ComReadByte(port, &value), 0);
    EXPECT_GE(ElapsedMs(start), 140);
    EXPECT_LT(ElapsedMs(start), 1000);

    start = Clock::now();
    EXPECT_EQ(ComReadByteTimed(port, &value, 4), 0);  // 4 ticks = 220 ms
    EXPECT_GE(ElapsedMs(start), 210);
    EXPECT_LT(ElapsedMs(start), 1000);

    server.Send({1, 2, 3, 4, 5, 6});
    start = Clock::now();
    while (ComHasInput(port) == 0 && ElapsedMs(start) < 2000) {
    }
    EXPECT_EQ(ComFlush(port), 1);
    EXPECT_EQ(ComHasInput(port), 0);
    server.Send({0x99});
    EXPECT_EQ(ComReadByteTimed(port, &value, 20), 1);
    EXPECT_EQ(value, 0x99);
    EXPECT_EQ(ComBreak(port, 100), 1);  // no break on a LAN line: discards, returns at once
}

// Fills the listener's accept queue (backlog 0 holds one connection) so that a further connect hangs.
std::vector<int> FillAcceptQueue(std::uint16_t port) {
    std::vector<int> fillers;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 4; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        fillers.push_back(fd);
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, 200) == 0) {
            break;  // this one hangs: the queue is full
        }
    }
    return fillers;
}

TEST(LanConnectTimeoutTest, HoldsWhenThePeerNeverAcceptsAndLeavesNothingBehind) {
    const int descriptors = testsupport::OpenDescriptorCount();
    const int threads = testsupport::ThreadCount();
    {
        LoopbackServer server(/*backlog=*/0);
        const std::vector<int> fillers = FillAcceptQueue(server.Port());
        ScopedEnv raw("VAULTRA_LAN_RAW_PORT", std::to_string(server.Port()));
        const std::int32_t port = NewMPILanCom("127.0.0.1", 500, 500, /*connectMs=*/300, 1, 0, 0);
        ASSERT_GE(port, kFirstLanPort);
        ASSERT_EQ(ComOpenShared(static_cast<Port>(port), 0, 8, 'n', 1), 1);
        const auto start = Clock::now();
        EXPECT_EQ(ComWriteByte(static_cast<Port>(port), 0x01), 0);
        EXPECT_GE(ElapsedMs(start), 290);
        EXPECT_LT(ElapsedMs(start), 1500);
        EXPECT_EQ(testsupport::ThreadCount(), threads);
        EXPECT_EQ(ComRelease(static_cast<Port>(port)), 1);
        for (int fd : fillers) {
            close(fd);
        }
    }
    EXPECT_EQ(testsupport::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(testsupport::ThreadCount(), threads);
}

TEST(LanConnectTimeoutTest, ARefusedConnectFailsAtOnceAndBindsToTheLocalAddress) {
    std::uint16_t closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.Port();
    }
    ScopedEnv raw("VAULTRA_LAN_RAW_PORT", std::to_string(closedPort));
    const std::int32_t port = NewMPILanCom("127.0.0.1", 500, 500, 3000, 1, htonl(INADDR_LOOPBACK), 0xFF);
    ASSERT_EQ(ComOpenShared(static_cast<Port>(port), 0, 8, 'n', 1), 1);
    const auto start = Clock::now();
    EXPECT_EQ(ComWriteByte(static_cast<Port>(port), 0x01), 0);
    std::uint8_t value = 0;
    EXPECT_EQ(ComReadByte(static_cast<Port>(port), &value), 0);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(ComClose(static_cast<Port>(port)), 1);
}

}  // namespace
}  // namespace vaultra::link
