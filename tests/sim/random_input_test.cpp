// Arbitrary bytes from a client must never crash the simulator, make it answer with a broken PDU or
// leave the adapter stuck (run under the sanitizers, this covers every bounded read).
#include <gtest/gtest.h>

#include <random>

#include "s7_requests.h"
#include "sim/transport/framing/block_line.h"
#include "sim/transport/framing/tpkt.h"
#include "sim/transport/iso_tcp.h"
#include "sim/transport/lan_framed.h"
#include "sim/transport/mpi_adapter.h"

namespace vaultra::sim::test {
namespace {

using Clock = ProtocolHandler::Clock;

Bytes RandomBytes(std::mt19937& random, std::size_t maxLength) {
    Bytes bytes(random() % (maxLength + 1));
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// A PDU with a valid header around random parts, its first parameter byte a known function.
Bytes RandomPdu(std::mt19937& random) {
    static const std::uint8_t kRosctr[] = {1, 3, 7};
    static const std::uint8_t kFunctions[] = {0xF0, 0x04, 0x05, 0x1A, 0x1B, 0x1C,
                                              0x1D, 0x1E, 0x1F, 0x28, 0x29, 0x00};
    const std::uint8_t rosctr = kRosctr[random() % 3];
    Bytes param = RandomBytes(random, 40);
    if (!param.empty()) {
        param[0] = kFunctions[random() % std::size(kFunctions)];
    }
    if (rosctr == 7 && param.size() >= 8) {
        param[0] = 0x00, param[1] = 0x01, param[2] = 0x12;
        param[5] = static_cast<std::uint8_t>(0x40 | (random() % 6));
        param[6] = static_cast<std::uint8_t>(random() % 17);
    }
    Bytes data = RandomBytes(random, 60);
    if (!data.empty() && random() % 2 == 0) {
        data[0] = 0xFF;
    }
    Bytes pdu = {0x32, rosctr, 0x00, 0x00, 0x02, 0x00};
    bytes::AppendBe16(pdu, static_cast<std::uint16_t>(param.size()));
    bytes::AppendBe16(pdu, static_cast<std::uint16_t>(data.size()));
    if (rosctr == 3) {
        Append(pdu, Bytes{0x00, 0x00});
    }
    Append(pdu, param);
    Append(pdu, data);
    return pdu;
}

TEST(RandomInput, SessionAnswersOnlyWellFormedPdus) {
    std::mt19937 random(1234);
    Harness h;
    for (int i = 0; i < 20000; ++i) {
        const auto answers = h.Send(RandomPdu(random));  // Send checks every answer decodes exactly
        EXPECT_LE(answers.size(), 2u);
        if (i % 500 == 0) {
            h.Reconnect();
        }
    }
    EXPECT_GT(h.Plc().Blocks().Size(), 0u);
}

TEST(RandomInput, TransportsSurviveArbitraryBytes) {
    std::mt19937 random(99);
    s7::Plc plc({}, s7::MakeDemoProgram(), Log(false));
    auto now = Clock::now();
    for (int round = 0; round < 200; ++round) {
        IsoTcpConnection iso(plc, "iso");
        iso.OnBytes(IsoConnectPacket(2), now);
        MpiAdapter mpi(plc, "mpi");
        LanFramedAdapter framed(plc, "framed");
        for (int i = 0; i < 50; ++i) {
            const Bytes packet = tpkt::DataPacket(RandomPdu(random), random() % 2 != 0);
            iso.OnBytes(random() % 4 ? packet : RandomBytes(random, 30), now);
            const Bytes content = random() % 2 ? Concat({FromHex("00 0C 03 03 F1 00"), RandomPdu(random)})
                                               : RandomBytes(random, 40);
            mpi.OnBytes(Concat({Bytes{0x02}, line::FrameBlock(content), Bytes{0x10}}), now);
            framed.OnBytes(RandomBytes(random, 20), now);
            now += std::chrono::milliseconds(random() % 3000);
            mpi.OnTick(now);
        }
        // Once the adapter has given up on what the PC never took, it grants the next send again.
        for (int tick = 0; tick < 5000 && !mpi.OnTick(now += std::chrono::milliseconds(2100)).bytes.empty();
             ++tick) {
        }
        EXPECT_EQ(mpi.OnBytes(Bytes{0x02}, now).bytes, Bytes{0x10}) << "round " << round;
    }
}

}  // namespace
}  // namespace vaultra::sim::test
