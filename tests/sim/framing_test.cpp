// The simulator's own line and TCP framing, checked against bytes worked out by hand.
#include <gtest/gtest.h>

#include "s7_requests.h"
#include "sim/transport/framing/block_line.h"
#include "sim/transport/framing/tpkt.h"

namespace vaultra::sim::test {
namespace {

using Result = line::BlockReceiver::Result;

Result FeedAll(line::BlockReceiver& receiver, const Bytes& bytes) {
    Result result = Result::kMore;
    for (const std::uint8_t byte : bytes) {
        result = receiver.Take(byte);
    }
    return result;
}

TEST(BlockLine, DoublesDleAndChecksEveryByteUpToEtx) {
    // 01 ^ 10 ^ 10 ^ 02 ^ 10 ^ 03 = 10: the doubled DLE cancels, the trailer counts.
    EXPECT_EQ(line::FrameBlock(FromHex("01 10 02")), FromHex("01 10 10 02 10 03 10"));
    EXPECT_EQ(line::FrameBlock({}), FromHex("10 03 13"));
}

TEST(BlockLine, ReceiverUndoesTheDoublingAndJudgesTheCheckByte) {
    line::BlockReceiver receiver(16);
    EXPECT_EQ(FeedAll(receiver, FromHex("01 10 10 02 10 03 10")), Result::kGood);
    EXPECT_EQ(receiver.Content(), FromHex("01 10 02"));

    receiver.Restart();
    EXPECT_EQ(FeedAll(receiver, FromHex("01 10 10 02 10 03 11")), Result::kBadCheck);
    receiver.Restart();
    EXPECT_EQ(FeedAll(receiver, FromHex("01 10 05")), Result::kBroken);
    receiver.Restart();
    EXPECT_EQ(FeedAll(receiver, FromHex("07 10 04 13")), Result::kGood) << "DLE EOT ends a telegram too";
    EXPECT_EQ(receiver.Content(), FromHex("07"));
}

TEST(BlockLine, ReceiverRefusesATelegramLongerThanItsLimit) {
    line::BlockReceiver receiver(2);
    EXPECT_EQ(FeedAll(receiver, line::FrameBlock(FromHex("01 02 03"))), Result::kTooLong);
    receiver.Restart();
    EXPECT_EQ(FeedAll(receiver, line::FrameBlock(FromHex("01 02"))), Result::kGood);
}

TEST(Tpkt, PacketsCarryTheirWholeLengthBigEndian) {
    EXPECT_EQ(tpkt::Packet(FromHex("02 F0 80 32")), FromHex("03 00 00 08 02 F0 80 32"));
    EXPECT_EQ(tpkt::DataPacket(FromHex("32 01"), false), FromHex("03 00 00 09 02 F0 00 32 01"));
    const Bytes large = tpkt::DataPacket(Bytes(300, 0xAA), true);
    EXPECT_EQ(Bytes(large.begin(), large.begin() + 7), FromHex("03 00 01 33 02 F0 80"));
}

TEST(Tpkt, StreamCutsPacketsAcrossAndWithinReads) {
    tpkt::PacketStream stream(64);
    const Bytes two = Concat({tpkt::Packet(FromHex("02 F0 80 01")), tpkt::Packet(FromHex("02 F0 80 02 03"))});
    stream.Add(ByteView(two).first(5));
    EXPECT_FALSE(stream.Next());
    stream.Add(ByteView(two).subspan(5));
    EXPECT_EQ(stream.Next(), FromHex("02 F0 80 01"));
    EXPECT_EQ(stream.Next(), FromHex("02 F0 80 02 03"));
    EXPECT_FALSE(stream.Next());
    EXPECT_FALSE(stream.Broken());
}

TEST(Tpkt, StreamBreaksOnAWrongVersionOrAnImpossibleLength) {
    for (const char* bad : {"04 00 00 08 02 F0 80 32", "03 00 00 06 02 F0", "03 00 00 41"}) {
        SCOPED_TRACE(bad);
        tpkt::PacketStream stream(64);
        stream.Add(FromHex(bad));
        EXPECT_FALSE(stream.Next());
        EXPECT_TRUE(stream.Broken());
        stream.Add(tpkt::Packet(FromHex("02 F0 80 01")));
        EXPECT_FALSE(stream.Next()) << "a broken stream stays broken";
    }
}

}  // namespace
}  // namespace vaultra::sim::test
