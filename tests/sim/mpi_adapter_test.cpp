// The MPI adapter from the PC's side of the line: block framing, adapter commands, station connect,
// data telegrams with confirmations and acknowledgements, segments, collisions and repeats.
#include <gtest/gtest.h>

#include "s7_requests.h"
#include "sim/transport/framing/block_line.h"
#include "sim/transport/lan_framed.h"
#include "sim/transport/mpi_adapter.h"

namespace vaultra::sim::test {
namespace {

using Clock = ProtocolHandler::Clock;
constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t DLE = 0x10;
constexpr std::uint8_t NAK = 0x15;

const Bytes kBusParameters = FromHex("01 03 02 86 00 9F 01 3C 00 90 01 14 00 00 14 02 00 7E 05 01 01 03 81");
const Bytes kConnect = FromHex("00 0D 00 03 E0 04 00 80 00 02 01 06 01 00 00 01 02 02 02 02");
const Bytes kContinue = FromHex("00 0C 03 03 05 01");

Bytes Station(std::uint8_t sequence, const Bytes& pdu) {
    return Concat({FromHex("00 0C 03 03 F1"), Bytes{sequence}, pdu});
}
Bytes Ack(std::uint8_t sequence) {
    return Concat({FromHex("00 0C 03 03 B0 01"), Bytes{sequence}});
}

// The PC end of the line, talking to the adapter byte by byte.
class Pc {
public:
    explicit Pc(ProtocolHandler& adapter) : adapter_(adapter) {}

    void Feed(const Bytes& bytes) {
        const TransportOutput out = adapter_.OnBytes(bytes, now_);
        Append(pending_, out.bytes);
        closed_ = closed_ || out.close;
    }
    bool Closed() const { return closed_; }
    void Tick(std::chrono::milliseconds later) {
        now_ += later;
        Append(pending_, adapter_.OnTick(now_).bytes);
    }
    std::uint8_t Take() {
        EXPECT_FALSE(pending_.empty()) << "the adapter sent nothing";
        if (pending_.empty()) {
            return 0;
        }
        const std::uint8_t byte = pending_.front();
        pending_.erase(pending_.begin());
        return byte;
    }
    bool Quiet() const { return pending_.empty(); }

    void Send(const Bytes& content) {
        Feed({STX});
        ASSERT_EQ(Take(), DLE) << "send not granted";
        Feed(line::FrameBlock(content));
        ASSERT_EQ(Take(), DLE) << "telegram not accepted";
    }
    // Grants the adapter's pending STX and reads its telegram; answers with `reply` (DLE or NAK).
    Bytes Receive(std::uint8_t reply = DLE) {
        EXPECT_EQ(Take(), STX);
        Feed({DLE});
        line::BlockReceiver receiver(4096);
        auto result = line::BlockReceiver::Result::kMore;
        while (result == line::BlockReceiver::Result::kMore && !Quiet()) {
            result = receiver.Take(Take());
        }
        EXPECT_EQ(result, line::BlockReceiver::Result::kGood) << "framing and block check";
        Feed({reply});
        return receiver.Content();
    }
    // Bus parameters, 01 08 and station list; the station list.
    Bytes Initialise() {
        Send(kBusParameters);
        EXPECT_NE(Receive()[3], 'E');
        Send(FromHex("01 08 02"));
        Receive();
        Send(FromHex("01 07 02"));
        return Receive();
    }
    void ConnectStation() {
        Send(kConnect);
        EXPECT_EQ(Receive().size(), 20u) << "connect confirm";
        Send(kContinue);
        EXPECT_LE(Receive().size(), 6u);
    }
    // One S7 request: the confirmation and the first answer telegram (acknowledged).
    Bytes Request(std::uint8_t sequence, const Bytes& pdu) {
        Send(Station(sequence, pdu));
        EXPECT_EQ(Receive(), Ack(sequence)) << "7-byte confirmation";
        Bytes answer = Receive();
        Send(Ack(answer.size() > 5 ? answer[5] : 0));
        return answer;
    }

private:
    ProtocolHandler& adapter_;
    Bytes pending_;
    bool closed_ = false;
    Clock::time_point now_ = Clock::now();
};

class MpiAdapterTest : public ::testing::Test {
protected:
    explicit MpiAdapterTest(s7::PlcOptions options = {})
        : plc_(options, s7::MakeDemoProgram(), Log(false)), adapter_(plc_, "mpi"), pc_(adapter_) {}
    s7::Plc plc_;
    MpiAdapter adapter_;
    Pc pc_;
};

TEST_F(MpiAdapterTest, InitialisationRepliesAndTheStationList) {
    const Bytes list = pc_.Initialise();
    ASSERT_EQ(list.size(), 133u);
    EXPECT_EQ(list[6 + 2], 0x30) << "the PLC at address 2";
    EXPECT_EQ(list[6 + 0], 0x30) << "the PC at its local address";
    EXPECT_EQ(list[6 + 5], 0x10);
    EXPECT_TRUE(pc_.Quiet());
}

TEST_F(MpiAdapterTest, ConnectSetupAndADirectoryRequest) {
    pc_.Initialise();
    pc_.ConnectStation();
    const Bytes setup = pc_.Request(0, SetupRequest());
    ASSERT_EQ(setup.size(), 26u) << "the driver reads exactly 26 bytes";
    EXPECT_EQ(Bytes(setup.begin(), setup.begin() + 5), FromHex("00 0C 03 03 F1"));
    EXPECT_EQ(Bytes(setup.begin() + 6, setup.end()),
              Concat({FromHex("32 03 00 00 02 00 00 08 00 00 00 00"), FromHex("F0 00 00 01 00 01 01 E0")}));
    const Bytes list = pc_.Request(1, ListBlocksRequest());
    EXPECT_EQ(list.size(), 6u + 10 + 12 + 32);
    EXPECT_NE(list[5], setup[5]) << "the adapter counts its own telegrams";
    EXPECT_TRUE(pc_.Quiet());
}

TEST_F(MpiAdapterTest, AcceptsClientsThatSkipStepsOrRouteDifferently) {
    pc_.Send(kBusParameters);
    pc_.Receive();
    pc_.Send(FromHex("00 0D 00 03 E0 04 00 80 00 02 00 02 01 00 01 00 02 02 00 00"));
    EXPECT_EQ(pc_.Receive().size(), 20u) << "no 01 08 02, other routing bytes";
}

TEST_F(MpiAdapterTest, ConfirmsAConnectWithD0UnderTheDataHeader) {
    pc_.Initialise();
    pc_.Send(kConnect);
    const Bytes confirm = pc_.Receive();
    ASSERT_EQ(confirm.size(), 20u);
    EXPECT_EQ(Bytes(confirm.begin(), confirm.begin() + 5), FromHex("00 0C 03 03 D0")) << "not an echo";
    EXPECT_NE(confirm, kConnect);
}

TEST_F(MpiAdapterTest, AcceptsRackSlotZeroAndTheRoutingBytes0100) {
    for (const Bytes& tail : {FromHex("02 00"), FromHex("01 00"), FromHex("02 02")}) {
        SCOPED_TRACE(::testing::PrintToString(tail));
        Pc pc(adapter_);
        pc.Initialise();
        Bytes connect(kConnect.begin(), kConnect.end() - 2);
        Append(connect, tail);
        pc.Send(connect);
        const Bytes confirm = pc.Receive();
        ASSERT_EQ(confirm.size(), 20u);
        EXPECT_EQ(confirm[4], 0xD0);
        pc.Send(kContinue);
        pc.Receive();
        const Bytes setup = pc.Request(0, SetupRequest());
        EXPECT_EQ(setup.size(), 26u) << "the station answers after the connect";
    }
}

TEST_F(MpiAdapterTest, RefusesAnAbsentStationWithAShortReply) {
    pc_.Initialise();
    Bytes other = kConnect;
    other[17] = 9;
    pc_.Send(other);
    EXPECT_LT(pc_.Receive().size(), 20u);
    Bytes slot = kConnect;
    slot[19] = 3;
    pc_.Send(slot);
    EXPECT_LT(pc_.Receive().size(), 20u);
}

TEST_F(MpiAdapterTest, DleInContentIsDoubledBothWays) {
    pc_.Initialise();
    pc_.ConnectStation();
    pc_.Request(0, SetupRequest());
    const Bytes write = WriteVarRequest({AnyItem(0x02, 2, 0, 0x83, 16 * 8)}, FromHex("00 04 00 10 10 10"));
    pc_.Request(1, write);
    EXPECT_EQ(plc_.Read(s7::Area::Flags, 0, 16, 2), FromHex("10 10"));
    const Bytes read = pc_.Request(2, ReadVarRequest({AnyItem(0x02, 2, 0, 0x83, 16 * 8)}));
    EXPECT_EQ(Bytes(read.end() - 2, read.end()), FromHex("10 10"));
}

TEST_F(MpiAdapterTest, WrongBlockCheckIsAnsweredWithNakAndTheRepeatAccepted) {
    pc_.Feed({STX});
    ASSERT_EQ(pc_.Take(), DLE);
    Bytes framed = line::FrameBlock(FromHex("01 08 02"));
    framed.back() ^= 0xFF;
    pc_.Feed(framed);
    EXPECT_EQ(pc_.Take(), NAK);
    EXPECT_TRUE(pc_.Quiet());
    pc_.Send(FromHex("01 08 02"));
    EXPECT_EQ(pc_.Receive().size(), 7u);
}

TEST_F(MpiAdapterTest, RepeatsATelegramThePcRefusedAndGivesUpAfterThreeTries) {
    pc_.Send(FromHex("01 08 02"));
    const Bytes first = pc_.Receive(NAK);
    EXPECT_EQ(pc_.Receive(), first) << "sent again after NAK";
    pc_.Send(FromHex("01 08 02"));
    EXPECT_EQ(pc_.Take(), STX);
    pc_.Tick(std::chrono::milliseconds(2100));
    EXPECT_EQ(pc_.Take(), STX);
    pc_.Tick(std::chrono::milliseconds(2100));
    EXPECT_EQ(pc_.Take(), STX);
    pc_.Tick(std::chrono::milliseconds(2100));
    EXPECT_TRUE(pc_.Quiet()) << "dropped after three attempts";
}

TEST_F(MpiAdapterTest, PcStartingAtTheSameMomentGivesWay) {
    pc_.Feed({STX});
    ASSERT_EQ(pc_.Take(), DLE);
    pc_.Feed(line::FrameBlock(FromHex("01 08 02")));
    ASSERT_EQ(pc_.Take(), DLE);
    ASSERT_EQ(pc_.Take(), STX) << "the adapter starts its reply";
    pc_.Feed({STX});  // the PC wanted to send too
    EXPECT_TRUE(pc_.Quiet()) << "no grant: the adapter keeps its turn";
    pc_.Feed({DLE});
    Bytes rest;
    while (!pc_.Quiet()) {
        rest.push_back(pc_.Take());
    }
    EXPECT_EQ(rest, line::FrameBlock(FromHex("01 08 20 00 00 00 00")));
}

TEST_F(MpiAdapterTest, SecondTelegramOfAnAnswerWaitsForTheAcknowledgement) {
    pc_.Initialise();
    pc_.ConnectStation();
    pc_.Request(0, SetupRequest());
    pc_.Send(Station(1, VartabReadRequest(0x02, 1, 0, 0)));
    EXPECT_EQ(pc_.Receive(), Ack(1));
    const Bytes acknowledgement = pc_.Receive();
    EXPECT_TRUE(pc_.Quiet()) << "the value telegram waits";
    pc_.Send(Ack(acknowledgement[5]));
    const Bytes values = pc_.Receive();
    EXPECT_EQ(values.size(), 6u + 10 + 12 + 4 + 14 + 2);
}

TEST_F(MpiAdapterTest, WithoutAcknowledgementTheNextTelegramFollowsAfterAWhile) {
    pc_.Initialise();
    pc_.ConnectStation();
    pc_.Request(0, SetupRequest());
    pc_.Send(Station(1, VartabReadRequest(0x02, 1, 0, 0)));
    pc_.Receive();
    pc_.Receive();
    pc_.Tick(std::chrono::milliseconds(100));
    EXPECT_TRUE(pc_.Quiet());
    pc_.Tick(std::chrono::milliseconds(3500));
    EXPECT_EQ(pc_.Receive().size(), 6u + 10 + 12 + 4 + 14 + 2);
}

TEST_F(MpiAdapterTest, DisconnectAndRelease) {
    pc_.Initialise();
    pc_.ConnectStation();
    pc_.Send(FromHex("00 0C 03 03 80"));
    EXPECT_EQ(pc_.Receive().size(), 5u);
    pc_.Send(Station(0, SetupRequest()));
    EXPECT_EQ(pc_.Receive(), Ack(0));
    EXPECT_TRUE(pc_.Quiet()) << "no station connected: no answer";
    pc_.Send(FromHex("01 04 02"));
    EXPECT_EQ(pc_.Receive().size(), 3u);
}

class SegmentedAnswer : public MpiAdapterTest {
protected:
    static s7::PlcOptions LongPages() {
        s7::PlcOptions options;
        options.directoryPage = 100;
        return options;
    }
    SegmentedAnswer() : MpiAdapterTest(LongPages()) {}
};

TEST_F(SegmentedAnswer, LongAnswerContinuesAfterTheContinueTelegram) {
    for (std::uint16_t n = 100; n < 160; ++n) {
        plc_.Blocks().Put({s7::kDB, n}, *plc_.Blocks().Find({s7::kDB, 10}));
    }
    pc_.Initialise();
    pc_.ConnectStation();
    pc_.Request(0, SetupRequest());
    pc_.Send(Station(1, ListTypeRequest('A')));
    pc_.Receive();
    const Bytes first = pc_.Receive();
    EXPECT_EQ(first[4], 0xF0);
    EXPECT_EQ(first.size(), 6u + 240) << "16-byte header, 12 parameter and 218 data bytes";
    EXPECT_TRUE(pc_.Quiet());
    pc_.Send(kContinue);
    const Bytes second = pc_.Receive();
    EXPECT_EQ(second[4], 0xF1);
    const std::size_t entries = plc_.Blocks().Count(s7::kDB);
    EXPECT_EQ(first.size() - 6 + second.size() - 6, 10u + 12 + 4 + entries * 4);
    pc_.Send(Ack(second[5]));
    EXPECT_TRUE(pc_.Quiet());
}

class E0330Adapter : public MpiAdapterTest {
protected:
    static s7::PlcOptions Asking() {
        s7::PlcOptions options;
        options.faults.adapterE0330 = true;
        return options;
    }
    E0330Adapter() : MpiAdapterTest(Asking()) {}
};

TEST_F(E0330Adapter, BusParametersAreAnsweredWithE0330UntilTheExtraStep) {
    pc_.Send(kBusParameters);
    const Bytes reply = pc_.Receive();
    ASSERT_EQ(reply.size(), 9u);
    EXPECT_EQ(Bytes(reply.begin() + 3, reply.end()), Text("E=0330"));
    pc_.Send(FromHex("01 0C 02"));
    EXPECT_FALSE(pc_.Receive().empty());
    pc_.Send(kConnect);
    EXPECT_EQ(pc_.Receive().size(), 20u);
}

class CuttingAdapter : public MpiAdapterTest {
protected:
    static s7::PlcOptions Cutting() {
        s7::PlcOptions options;
        options.faults.cutAfter = 1;
        return options;
    }
    CuttingAdapter() : MpiAdapterTest(Cutting()) {}
};

TEST_F(CuttingAdapter, CutsAfterTheConfiguredRequestsAndTheStationFallsSilent) {
    pc_.Initialise();
    pc_.ConnectStation();
    pc_.Request(0, SetupRequest());
    EXPECT_FALSE(pc_.Closed());
    pc_.Send(Station(1, ListBlocksRequest()));
    EXPECT_TRUE(pc_.Closed()) << "a LAN connection is closed";
    EXPECT_TRUE(pc_.Quiet()) << "no confirmation, no answer";
    pc_.Send(Station(2, ListBlocksRequest()));
    EXPECT_EQ(pc_.Receive(), Ack(2));
    EXPECT_TRUE(pc_.Quiet()) << "the station is gone until the next connect";
}

TEST(LanFramedAdapter, TakesLengthPrefixedBlocksAndAnswersUnframed) {
    s7::Plc plc({}, {}, Log(false));
    LanFramedAdapter adapter(plc, "framed");
    const auto now = Clock::now();
    EXPECT_EQ(adapter.OnBytes(FromHex("01 00 02"), now).bytes, Bytes{DLE});
    const Bytes framed = line::FrameBlock(FromHex("01 08 02"));
    Bytes block = {static_cast<std::uint8_t>(framed.size()), 0x00};
    Append(block, framed);
    // Split across two reads, the block still counts once.
    EXPECT_TRUE(adapter.OnBytes(Bytes(block.begin(), block.begin() + 3), now).bytes.empty());
    EXPECT_EQ(adapter.OnBytes(Bytes(block.begin() + 3, block.end()), now).bytes, FromHex("10 02"));
    EXPECT_TRUE(adapter.OnBytes(FromHex("FF 7F 00"), now).close) << "a length beyond 1022 bytes";
}

}  // namespace
}  // namespace vaultra::sim::test
