// ISO-on-TCP from the PLC's side: connection request and confirm, TSAP check, data units, splitting of
// long answers, disconnect and broken input.
#include <gtest/gtest.h>

#include "s7_requests.h"
#include "sim/transport/framing/tpkt.h"
#include "sim/transport/iso_tcp.h"

namespace vaultra::sim::test {
namespace {

using Clock = ProtocolHandler::Clock;

struct Packet {
    Bytes tpdu;  // after the TPKT header
};

// Splits a byte stream into TPKT packets, failing the test on a malformed one.
std::vector<Packet> Packets(const Bytes& stream) {
    std::vector<Packet> packets;
    std::size_t at = 0;
    while (at < stream.size()) {
        EXPECT_GE(stream.size() - at, 4u);
        EXPECT_EQ(stream[at], 0x03);
        EXPECT_EQ(stream[at + 1], 0x00);
        const std::size_t total = bytes::LoadBe16(stream, at + 2);
        EXPECT_GE(total, 7u);
        EXPECT_LE(at + total, stream.size());
        if (total < 7 || at + total > stream.size()) {
            break;
        }
        packets.push_back({Bytes(stream.begin() + at + 4, stream.begin() + at + total)});
        at += total;
    }
    return packets;
}

Bytes Data(const Bytes& pdu, bool last = true) {
    return tpkt::DataPacket(pdu, last);
}

class IsoTcp : public ::testing::Test {
protected:
    explicit IsoTcp(s7::PlcOptions options = {})
        : plc_(options, s7::MakeDemoProgram(), Log(false)), iso_(plc_, "t") {}

    TransportOutput Feed(const Bytes& bytes) { return iso_.OnBytes(bytes, Clock::now()); }
    TransportOutput Connect(std::uint8_t rackSlot = 2) { return Feed(IsoConnectPacket(rackSlot)); }
    // Sends one PDU and reassembles the answers from their data units.
    std::vector<Bytes> Exchange(const Bytes& pdu, std::vector<std::size_t>* sizes = nullptr) {
        std::vector<Bytes> pdus;
        Bytes assembling;
        for (const Packet& packet : Packets(Feed(Data(pdu)).bytes)) {
            EXPECT_EQ(Bytes(packet.tpdu.begin(), packet.tpdu.begin() + 2), FromHex("02 F0"));
            assembling.insert(assembling.end(), packet.tpdu.begin() + 3, packet.tpdu.end());
            if (sizes != nullptr) {
                sizes->push_back(packet.tpdu.size());
            }
            if (packet.tpdu[2] == 0x80) {
                pdus.push_back(std::move(assembling));
                assembling.clear();
            }
        }
        EXPECT_TRUE(assembling.empty()) << "a data unit without its last part";
        return pdus;
    }

    s7::Plc plc_;
    IsoTcpConnection iso_;
};

TEST_F(IsoTcp, ConfirmsTheConnectionWithTheClientsParameters) {
    const TransportOutput out = Connect();
    EXPECT_FALSE(out.close);
    const auto packets = Packets(out.bytes);
    ASSERT_EQ(packets.size(), 1u);
    // 18 bytes as the drivers read it: D0, their reference back, ours, class 0, the three parameters.
    EXPECT_EQ(packets[0].tpdu, FromHex("11 D0 00 01 44 31 00 C0 01 08 C1 02 01 00 C2 02 02 02"));
}

TEST_F(IsoTcp, RefusesAnotherRackSlotWithADisconnect) {
    const TransportOutput out = Connect(3);
    EXPECT_TRUE(out.close);
    const auto packets = Packets(out.bytes);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].tpdu.size(), 7u);
    EXPECT_EQ(packets[0].tpdu[1], 0x80);
}

TEST_F(IsoTcp, DataBeforeTheConnectionOrGarbageEndsIt) {
    EXPECT_TRUE(Feed(Data(SetupRequest())).close);
    IsoTcpConnection other(plc_, "u");
    EXPECT_TRUE(other.OnBytes(FromHex("47 45 54 20 2F 20 48 54"), Clock::now()).close);
}

TEST_F(IsoTcp, ReassemblesPacketsFedByteByByteAndDataUnitsWithoutTheLastFlag) {
    Connect();
    const Bytes setup = SetupRequest(240);
    Bytes stream = Data(Bytes(setup.begin(), setup.begin() + 5), false);
    Append(stream, Data(Bytes(setup.begin() + 5, setup.end()), true));
    Bytes answer;
    for (std::uint8_t byte : stream) {
        Append(answer, Feed(Bytes{byte}).bytes);
    }
    const auto packets = Packets(answer);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].tpdu, Concat({FromHex("02 F0 80 32 03 00 00 02 00 00 08 00 00 00 00"),
                                       FromHex("F0 00 00 01 00 01 00 F0")}));
}

TEST_F(IsoTcp, LongAnswersTravelIn240And250BytePiecesWithTheLastFlagOnlyAtTheEnd) {
    s7::PlcOptions options;
    options.directoryPage = 100;
    s7::Program program;
    for (std::uint16_t n = 1; n <= 100; ++n) {
        program.Put({s7::kFC, n}, *plc_.Blocks().Find({s7::kFC, 1}));
    }
    s7::Plc plc(options, std::move(program), Log(false));
    IsoTcpConnection iso(plc, "long");
    iso.OnBytes(IsoConnectPacket(2), Clock::now());
    iso.OnBytes(Data(SetupRequest(480)), Clock::now());
    const auto packets = Packets(iso.OnBytes(Data(ListTypeRequest('C')), Clock::now()).bytes);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].tpdu[2], 0x00);
    EXPECT_EQ(packets[0].tpdu.size(), 3u + 240) << "10 header + 12 parameter + 218 data bytes";
    EXPECT_EQ(packets[1].tpdu[2], 0x80);
    EXPECT_EQ(packets[0].tpdu.size() + packets[1].tpdu.size() - 6, 10u + 12 + 4 + 100 * 4);
}

TEST_F(IsoTcp, UploadAnswersFitOnePacketAndDisconnectCloses) {
    Connect();
    Exchange(SetupRequest(480));
    const auto start = Exchange(StartUploadRequest("0E00002"));
    ASSERT_EQ(start.size(), 1u);
    const Bytes id(start[0].begin() + 16, start[0].begin() + 20);
    std::vector<std::size_t> sizes;
    EXPECT_EQ(Exchange(UploadRequest(id), &sizes).size(), 1u);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], 3u + 12 + 2 + 4 + 222);
    const TransportOutput bye = Feed(tpkt::Packet(FromHex("06 80 44 31 00 01 00")));
    EXPECT_TRUE(bye.close);
    EXPECT_TRUE(bye.bytes.empty());
}

TEST_F(IsoTcp, CutFaultClosesWithoutAnswer) {
    s7::PlcOptions options;
    options.faults.cutAfter = 0;
    s7::Plc plc(options, {}, Log(false));
    IsoTcpConnection iso(plc, "cut");
    iso.OnBytes(IsoConnectPacket(2), Clock::now());
    const TransportOutput out = iso.OnBytes(Data(SetupRequest()), Clock::now());
    EXPECT_TRUE(out.close);
    EXPECT_TRUE(out.bytes.empty());
}

}  // namespace
}  // namespace vaultra::sim::test
