// plcsim s5 from a client that writes whole telegrams at once (and several in one LAN frame), where the
// drivers write byte by byte: the PLC side must not depend on how the bytes arrive.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/server_socket.h"
#include "sim/testing/plcsim_process.h"

namespace vaultra::s5 {
namespace {

using Bytes = std::vector<uint8_t>;
using sim::testing::PlcsimProcess;

constexpr uint8_t STX = 0x02, ETX = 0x03, EOT = 0x04, ACK = 0x06, DLE = 0x10, SYN = 0x16;

// Reads exactly n bytes within a few seconds.
Bytes Take(platform::StreamConnection& c, size_t n) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
        if (!platform::WaitReadable(c.Fd(), 100))
            continue;
        uint8_t chunk[256];
        const auto read = c.ReadSome(std::span<uint8_t>(chunk, std::min(sizeof chunk, n - got.size())));
        if (read.closed)
            break;
        got.insert(got.end(), chunk, chunk + read.count);
    }
    return got;
}

Bytes Framed(const Bytes& data) {
    Bytes out{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(data.size() >> 8)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// The connection test with every PC telegram in one write.
void SystemParameterExchange(platform::StreamConnection& c, bool framed) {
    auto send = [&](const Bytes& b) { ASSERT_TRUE(c.WriteAll(framed ? Framed(b) : b)); };
    send({STX, 0x18});
    EXPECT_EQ(Take(c, 3), (Bytes{DLE, ACK, STX}));
    send({DLE, ACK});
    EXPECT_EQ(Take(c, 3), (Bytes{SYN, DLE, ETX}));
    send({DLE, ACK, DLE, EOT});  // acknowledgement and the empty parameter telegram together
    EXPECT_EQ(Take(c, 3), (Bytes{DLE, ACK, STX}));
    send({DLE, ACK});
    const Bytes reply = Take(c, 1 + 44 + 2);
    ASSERT_EQ(reply.size(), 47u);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1 + 2 * 20 + 1], 10);  // byte-addressed
    EXPECT_EQ(Bytes(reply.end() - 2, reply.end()), (Bytes{DLE, ETX}));
    send({DLE, ACK});
    EXPECT_EQ(Take(c, 1), (Bytes{STX}));
    send({DLE, ACK});
    EXPECT_EQ(Take(c, 3), (Bytes{0x12, DLE, ETX}));
    send({DLE, ACK});
}

TEST(PlcsimS5Wire, WholeTelegramsInOneWriteOnBothFramings) {
    std::string error;
    auto plc =
        PlcsimProcess::Start({"s5", "--demo", "--lan-raw-port", "0", "--lan-framed-port", "0"}, &error);
    ASSERT_TRUE(plc) << error;
    auto raw = platform::ConnectLoopback(*plc->LanRawPort(), 2000);
    ASSERT_TRUE(raw);
    SystemParameterExchange(*raw, false);
    SystemParameterExchange(*raw, false);  // and again on the same connection
    auto framed = platform::ConnectLoopback(*plc->LanFramedPort(), 2000);
    ASSERT_TRUE(framed);
    SystemParameterExchange(*framed, true);
}

}  // namespace
}  // namespace vaultra::s5
