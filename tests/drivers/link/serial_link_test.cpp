// The serial side of the link over pseudo-terminal pairs.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "drivers/link/com.h"
#include "link_test_support.h"

namespace vaultra::link {
namespace {

using testsupport::Bytes;
using testsupport::PtyPort;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

termios LineOf(const PtyPort& pty) {
    termios tio{};
    tcgetattr(pty.Slave(), &tio);
    return tio;
}

// Waits (bounded) until the link sees input on the port.
bool InputArrives(Port port) {
    const auto start = Clock::now();
    while (ComHasInput(port) == 0) {
        if (ElapsedMs(start) > 2000) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class SerialLinkTest : public ::testing::Test {
protected:
    void TearDown() override {
        ComCloseAll();
        ComSetCharTimeoutFactor(90);
        ComSetTraceEnabled(false);
    }
};

TEST_F(SerialLinkTest, LineSettingsArriveAsSet) {
    struct Case {
        std::int32_t baud;
        char parity;
        std::int32_t stopBits;
        speed_t speed;
        bool parityOn, odd, twoStop;
    };
    const Case cases[] = {
        {9600, 'e', 2, B9600, true, false, true},      // 8E2, the S5 adapter line
        {19200, 'N', 1, B19200, false, false, false},  // 8N1
        {38400, 'o', 1, B38400, true, true, false},    // 8O1, the S7 adapter line
        {0, 'E', 1, B115200, true, false, false},      // 0 stands for 115200
        {300, 'x', 3, B9600, false, false, false},     // unknown rates give 9600, odd stop values one bit
        {57600, 'O', 2, B57600, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        PtyPort pty(0);
        ASSERT_EQ(ComOpenShared(0, c.baud, 8, c.parity, c.stopBits), 1);
        const termios tio = LineOf(pty);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        // A pseudo-terminal forces CS8 without PARENB; input checking and the odd flag show the parity asked.
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parityOn);
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.odd);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_NE(tio.c_cflag & CREAD, 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(ComRelease(0), 1);
    }
}

TEST_F(SerialLinkTest, SecondOpenKeepsFirstSettingsAndNeedsTwoReleases) {
    PtyPort pty(3);
    ASSERT_EQ(ComOpenShared(3, 9600, 8, 'e', 2), 1);
    ASSERT_EQ(ComOpenShared(3, 19200, 8, 'n', 1), 1);
    const termios tio = LineOf(pty);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_NE(tio.c_iflag & INPCK, 0u);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

    EXPECT_EQ(ComRelease(3), 1);
    EXPECT_NE(ComGetHandleOf(3), nullptr);
    EXPECT_EQ(ComWriteByte(3, 0x55), 1);
    EXPECT_EQ(pty.Receive(1), (Bytes{0x55}));

    EXPECT_EQ(ComRelease(3), 1);
    EXPECT_EQ(ComGetHandleOf(3), nullptr);
    EXPECT_EQ(ComRelease(3), 0);
    EXPECT_EQ(ComWriteByte(3, 0x55), 0);
}

TEST_F(SerialLinkTest, DeviceThatCannotBeOpenedLeavesThePortClosed) {
    testsupport::ScopedEnv missing("VAULTRA_COM6", "/nonexistent/vaultra-tty");
    EXPECT_EQ(ComOpenShared(5, 9600, 8, 'e', 2), 0);
    EXPECT_EQ(ComRelease(5), 0);
    EXPECT_EQ(ComGetHandleOf(5), nullptr);

    testsupport::ScopedWorkingDirectory dir;
    {
        std::FILE* f = std::fopen("plain.txt", "w");
        std::fclose(f);
    }
    testsupport::ScopedEnv notATerminal("VAULTRA_COM6", dir.File("plain.txt"));
    EXPECT_EQ(ComOpenShared(5, 9600, 8, 'e', 2), 0);
    EXPECT_EQ(ComRelease(5), 0);
}

TEST_F(SerialLinkTest, OperationsOnClosedOrInvalidPortsFail) {
    std::uint8_t value = 0;
    const std::uint8_t data[2] = {1, 2};
    for (Port port : {Port{7}, Port{256}, Port{0xFFFF}}) {
        SCOPED_TRACE(port);
        EXPECT_EQ(ComReadByte(port, &value), 0);
        EXPECT_EQ(ComHasInput(port), 0);
        EXPECT_EQ(ComWriteByte(port, 1), 0);
        EXPECT_EQ(ComWrite(port, data, 2), 0);
        EXPECT_EQ(ComFlush(port), 0);
        EXPECT_EQ(ComBreak(port, 1), 0);
        EXPECT_EQ(ComPulseBreak(port), 0);
        EXPECT_EQ(ComRelease(port), 0);
    }
    EXPECT_EQ(ComOpenShared(256, 9600, 8, 'e', 2), 0);
}

TEST_F(SerialLinkTest, BytesTravelBothWaysAndLargeInputIsReadByteByByte) {
    PtyPort pty(1);
    ASSERT_EQ(ComOpenShared(1, 9600, 8, 'o', 1), 1);
    const std::uint8_t block[] = {0x10, 0x02, 0x00, 0xFF};
    EXPECT_EQ(ComWrite(1, block, 4), 1);
    EXPECT_EQ(ComWriteByte(1, 0x03), 1);
    EXPECT_EQ(pty.Receive(5), (Bytes{0x10, 0x02, 0x00, 0xFF, 0x03}));

    Bytes sent(3000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i * 7);
    }
    pty.Send(sent);
    Bytes got;
    std::uint8_t value = 0;
    while (got.size() < sent.size() && ComReadByte(1, &value) == 1) {
        got.push_back(value);
    }
    EXPECT_EQ(got, sent);
}

TEST_F(SerialLinkTest, PushedBackBytesComeFirstInOrderAndFlushEmptiesTheRing) {
    PtyPort pty(2);
    ASSERT_EQ(ComOpenShared(2, 9600, 8, 'e', 2), 1);
    pty.Send({0x30});
    ASSERT_TRUE(InputArrives(2));
    // Many rounds walk the indices round the 16-byte ring.
    for (int round = 0; round < 20; ++round) {
        EXPECT_EQ(ComPushBack(2, 0x10), 1);
        EXPECT_EQ(ComPushBack(2, 0x03), 1);
        std::uint8_t first = 0, second = 0;
        ASSERT_EQ(ComReadByte(2, &first), 1);
        ASSERT_EQ(ComReadByteTimed(2, &second, 1), 1);
        EXPECT_EQ(first, 0x10);
        EXPECT_EQ(second, 0x03);
    }
    std::uint8_t fromLine = 0;
    ASSERT_EQ(ComReadByte(2, &fromLine), 1);
    EXPECT_EQ(fromLine, 0x30);

    ComPushBack(2, 0x77);
    EXPECT_EQ(ComHasInput(2), 1);
    EXPECT_EQ(ComFlush(2), 1);
    EXPECT_EQ(ComHasInput(2), 0);
}

TEST_F(SerialLinkTest, FlushDiscardsWhatTheLineDelivered) {
    PtyPort pty(2);
    ASSERT_EQ(ComOpenShared(2, 9600, 8, 'e', 2), 1);
    pty.Send({1, 2, 3, 4});
    ASSERT_TRUE(InputArrives(2));
    std::uint8_t value = 0;
    ASSERT_EQ(ComReadByte(2, &value), 1);  // the rest now sits in the link's read-ahead
    EXPECT_EQ(ComFlush(2), 1);
    EXPECT_EQ(ComHasInput(2), 0);
    pty.Send({9});
    ASSERT_TRUE(InputArrives(2));
    ASSERT_EQ(ComReadByte(2, &value), 1);
    EXPECT_EQ(value, 9);
}

TEST_F(SerialLinkTest, TimedReadOnASilentLineMakesOneAttemptBelowTheFactor) {
    PtyPort pty(4);
    ASSERT_EQ(ComOpenShared(4, 9600, 8, 'e', 2), 1);
    std::uint8_t value = 0;
    // F = 90: 10 ticks is below F and still makes one attempt of one second.
    auto start = Clock::now();
    EXPECT_EQ(ComReadByteTimed(4, &value, 10), 0);
    EXPECT_GE(ElapsedMs(start), 950);
    EXPECT_LT(ElapsedMs(start), 1900);

    // 180 ticks / 90 = two attempts.
    start = Clock::now();
    EXPECT_EQ(ComReadByteTimed(4, &value, 180), 0);
    EXPECT_GE(ElapsedMs(start), 1900);
    EXPECT_LT(ElapsedMs(start), 3500);
}

TEST_F(SerialLinkTest, TimedReadReturnsAByteThatArrivesWhileWaiting) {
    PtyPort pty(4);
    ASSERT_EQ(ComOpenShared(4, 9600, 8, 'e', 2), 1);
    std::thread peer([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pty.Send({0x06});
    });
    std::uint8_t value = 0;
    const auto start = Clock::now();
    EXPECT_EQ(ComReadByteTimed(4, &value, 90), 1);
    peer.join();
    EXPECT_EQ(value, 0x06);
    EXPECT_LT(ElapsedMs(start), 900);
}

TEST_F(SerialLinkTest, TraceOfARealLineShowsBothDirectionsAndTheGap) {
    testsupport::ScopedWorkingDirectory dir;
    PtyPort pty(6);
    ASSERT_EQ(ComOpenShared(6, 9600, 8, 'e', 2), 1);
    ComSetTraceEnabled(true);
    ComWriteByte(6, 0x10);
    ComWriteByte(6, 0x02);
    EXPECT_EQ(pty.Receive(2), (Bytes{0x10, 0x02}));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    pty.Send({0x10, 0x06});
    std::uint8_t value = 0;
    ASSERT_EQ(ComReadByteTimed(6, &value, 90), 1);
    ASSERT_EQ(ComReadByteTimed(6, &value, 90), 1);
    ComRelease(6);
    ComSetTraceEnabled(false);
    const std::string trace = testsupport::ReadFile(dir.File("RS232DMP.TXT"));
    const std::string head = "\nT:10 02 \nR:[";
    ASSERT_EQ(trace.substr(0, head.size()), head);
    const int gap = std::stoi(trace.substr(head.size(), 4));
    EXPECT_GE(gap, 40);
    EXPECT_LT(gap, 1000);
    EXPECT_EQ(trace.substr(head.size() + 4), "] 10 06 \n" + std::string(54, '-') + "\n");
}

TEST_F(SerialLinkTest, BreaksAreSentAndTimed) {
    PtyPort pty(0);
    ASSERT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    auto start = Clock::now();
    EXPECT_EQ(ComPulseBreak(0), 1);
    const long pulse = ElapsedMs(start);
    EXPECT_GE(pulse, 5);
    EXPECT_LT(pulse, 250);

    start = Clock::now();
    EXPECT_EQ(ComBreak(0, 2), 1);
    EXPECT_GE(ElapsedMs(start), 110);
}

TEST_F(SerialLinkTest, HandleIsTheOpenTerminalAndNothingLeaksAfterClose) {
    const int descriptorsBefore = testsupport::OpenDescriptorCount();
    {
        PtyPort pty(9);
        const int withPty = testsupport::OpenDescriptorCount();
        ASSERT_EQ(ComOpenShared(9, 9600, 8, 'e', 2), 1);
        void* handle = ComGetHandleOf(9);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(isatty(static_cast<int>(reinterpret_cast<std::intptr_t>(handle))), 1);
        EXPECT_EQ(ComClose(9), 1);
        EXPECT_EQ(ComGetHandleOf(9), nullptr);
        EXPECT_EQ(testsupport::OpenDescriptorCount(), withPty);
        // A closed port opens again with a fresh count.
        ASSERT_EQ(ComOpenShared(9, 9600, 8, 'e', 2), 1);
        ComCloseAll();
        EXPECT_EQ(ComRelease(9), 0);
    }
    EXPECT_EQ(testsupport::OpenDescriptorCount(), descriptorsBefore);
}

}  // namespace
}  // namespace vaultra::link
