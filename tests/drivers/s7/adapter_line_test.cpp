// Block framing against scripted line bytes; the adapter side is framed with the simulator's framing.
#include <gtest/gtest.h>

#include "drivers/link/fake_link.h"
#include "drivers/s7/adapter_line.h"
#include "drivers/s7/channel.h"
#include "drivers/s7/settings.h"
#include "sim/transport/framing/block_line.h"

namespace vaultra::s7 {
namespace {

using link::testing::Bytes;
using link::testing::FakeLinkScope;

class AdapterLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = DriverSettings();
        link::ComSetCharTimeoutFactor(16);
        record_.port = 3;
        line_.port = 3;
    }
    void TearDown() override { DriverSettings() = saved_; }

    FakeLinkScope fake_;
    AdapterLine line_;
    ConnectionRecord record_{};
    Settings saved_;
};

TEST_F(AdapterLineTest, SendsDoubledDleAndBlockCheckAfterTheGrant) {
    fake_.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x10});
    const Bytes content{0x01, 0x10, 0x02};
    ASSERT_TRUE(line_.SendTelegram(record_, content));
    // 01 ^ 02 ^ DLE ^ ETX: the doubled DLE cancels out
    EXPECT_EQ(fake_.link.Written(),
              (Bytes{0x02, 0x01, 0x10, 0x10, 0x02, 0x10, 0x03, 0x01 ^ 0x02 ^ 0x10 ^ 0x03}));
    EXPECT_EQ(+record_.status, 0);
}

TEST_F(AdapterLineTest, TelegramGoesOutAsALoneStxAndOneBlock) {
    fake_.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x10});
    const Bytes head{0x00, 0x0C, 0x03, 0x03, 0xF1, 0x00, 0x32, 0x01};
    const Bytes body{0x1D, 0x10, 0x00};
    ASSERT_TRUE(line_.SendTelegram(record_, head, body));
    const auto& calls = fake_.link.WriteCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].bytes, (Bytes{0x02}));
    Bytes content = head;
    content.insert(content.end(), body.begin(), body.end());
    EXPECT_EQ(calls[1].bytes, s7wire::FrameTelegram(content));
}

TEST_F(AdapterLineTest, TelegramLongerThanOneLinkWriteIsSplitOnlyThere) {
    fake_.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x10});
    const Bytes content(1000, 0x10);  // 2000 line bytes once doubled, then the trailer
    ASSERT_TRUE(line_.SendTelegram(record_, content));
    const auto& calls = fake_.link.WriteCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].bytes.size(), 1022u);  // the largest write a length-prefixed LAN frame carries
    Bytes joined = calls[1].bytes;
    joined.insert(joined.end(), calls[2].bytes.begin(), calls[2].bytes.end());
    EXPECT_EQ(joined, s7wire::FrameTelegram(content));
}

TEST_F(AdapterLineTest, APendingAcceptGoesOutInOneWriteWithTheNextStxAndOnlyThere) {
    fake_.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x10});
    line_.AcceptWithNextTelegram();
    ASSERT_TRUE(line_.SendTelegram(record_, Bytes{0x01, 0x08, 0x02}));
    const auto& calls = fake_.link.WriteCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].bytes, (Bytes{0x10, 0x02}));
    EXPECT_EQ(calls[1].bytes, s7wire::FrameTelegram(Bytes{0x01, 0x08, 0x02}));
    // Taken once: a second telegram starts with a lone STX again.
    fake_.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x10});
    ASSERT_TRUE(line_.SendTelegram(record_, Bytes{0x01, 0x07, 0x02}));
    EXPECT_EQ(calls[2].bytes, (Bytes{0x02}));
}

TEST_F(AdapterLineTest, APendingAcceptIsSentAloneBeforeAnyWait) {
    const Bytes framed = sim::line::FrameBlock(Bytes{0x01, 0x08, 0x20});
    fake_.link.Deliver({0x02});
    fake_.link.OnWrite({0x10}, {}).OnWrite({0x10}, framed);
    line_.AcceptWithNextTelegram();
    std::vector<uint8_t> got;
    ASSERT_TRUE(line_.ReceiveTelegram(record_, AdapterLine::Form::kAny, 16, got, 10));
    EXPECT_EQ(fake_.link.Written(), (Bytes{0x10, 0x10, 0x10}));  // the accept, the grant, our accept
    EXPECT_EQ(fake_.link.WriteCalls().size(), 3u);

    line_.AcceptWithNextTelegram();
    uint8_t byte = 0;
    EXPECT_FALSE(line_.WaitByte(byte, 2));
    EXPECT_EQ(fake_.link.WriteCalls().back().bytes, (Bytes{0x10}));
}

TEST_F(AdapterLineTest, AnAcceptThatCannotBeWrittenEndsTheSendWithStatus8000) {
    fake_.link.FailWrites(true);
    line_.AcceptWithNextTelegram();
    EXPECT_FALSE(line_.SendTelegram(record_, Bytes{0x01}));
    EXPECT_EQ(+record_.status, kStatusPort);
    EXPECT_EQ(fake_.link.WriteCalls().size(), 1u);  // no further attempt without the accept
}

TEST_F(AdapterLineTest, NakMakesTheWholeTelegramGoAgainAfterAPurge) {
    fake_.link.OnWrite({0x02}, {0x10})
        .OnWrite({0x10, 0x03}, {0x15})
        .OnWrite({0x02}, {0x10})
        .OnWrite({0x10, 0x03}, {0x10});
    ASSERT_TRUE(line_.SendTelegram(record_, Bytes{0x01, 0x08, 0x02}));
    EXPECT_EQ(fake_.link.Flushes(), 1);
    EXPECT_EQ(std::count(fake_.link.Written().begin(), fake_.link.Written().end(), 0x08), 2);
}

TEST_F(AdapterLineTest, NoGrantGivesStatusOneAfterEveryAttempt) {
    SetRepeat(1);
    EXPECT_FALSE(line_.SendTelegram(record_, Bytes{0x01, 0x08, 0x02}));
    EXPECT_EQ(+record_.status, kStatusNoAnswer);
    EXPECT_EQ(fake_.link.Written(), (Bytes{0x02, 0x02}));  // two attempts, each an STX
}

TEST_F(AdapterLineTest, RepeatZeroMeansASingleAttempt) {
    SetRepeat(0);
    EXPECT_FALSE(line_.SendTelegram(record_, Bytes{0x01}));
    EXPECT_EQ(fake_.link.Written(), (Bytes{0x02}));
}

TEST_F(AdapterLineTest, WrongAcceptCharacterGivesStatusTwoWithTheExpectedDle) {
    SetRepeat(0);
    fake_.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x06});
    EXPECT_FALSE(line_.SendTelegram(record_, Bytes{0x01}));
    EXPECT_EQ(+record_.status, kStatusWrongControl);
    EXPECT_EQ(+record_.plcError, 0x10);
}

TEST_F(AdapterLineTest, AdapterTelegramOnOurStxIsAbsorbedAndTheSendRetried) {
    const Bytes unsolicited{0x00, 0x0C, 0x03, 0x03, 0x44, 0x01};
    Bytes body = sim::line::FrameBlock(unsolicited);
    fake_.link
        .OnWrite({0x02}, {0x02})  // STX collision
        .OnWrite({0x10}, body)    // our DLE: its telegram follows
        .OnWrite({0x10}, {})      // we accept it
        .OnWrite({0x02}, {0x10})  // second attempt granted
        .OnWrite({0x10, 0x03}, {0x10});
    ASSERT_TRUE(line_.SendTelegram(record_, Bytes{0x01, 0x08, 0x02}));
    EXPECT_EQ(fake_.link.RulesLeft(), 0u);
}

TEST_F(AdapterLineTest, ReceiveAnswersDleForAGoodTelegramAndNakForABadCheck) {
    const Bytes content{0x01, 0x08, 0x20, 0x10};
    Bytes good{0x02};
    const Bytes framed = sim::line::FrameBlock(content);
    Bytes bad = framed;
    bad.back() ^= 0xFF;
    fake_.link.Deliver({0x02});
    fake_.link.OnWrite({0x10}, bad).OnWrite({0x15}, {0x02}).OnWrite({0x10}, framed);
    std::vector<uint8_t> got;
    ASSERT_TRUE(line_.ReceiveTelegram(record_, AdapterLine::Form::kAny, 16, got, 10));
    EXPECT_EQ(got, content);
    EXPECT_EQ(fake_.link.Written(), (Bytes{0x10, 0x15, 0x10, 0x10}));
}

TEST_F(AdapterLineTest, ReceiveOfAnotherFirstByteIsStatusTwoWithExpectedStx) {
    SetRepeat(0);
    fake_.link.Deliver({0x15});
    std::vector<uint8_t> got;
    EXPECT_FALSE(line_.ReceiveTelegram(record_, AdapterLine::Form::kAny, 16, got, 10));
    EXPECT_EQ(+record_.status, kStatusWrongControl);
    EXPECT_EQ(+record_.plcError, 0x02);
}

TEST_F(AdapterLineTest, ExactFormRefusesAShorterTelegram) {
    SetRepeat(0);
    fake_.link.Deliver({0x02});
    fake_.link.OnWrite({0x10}, sim::line::FrameBlock(Bytes{1, 2, 3}));
    std::vector<uint8_t> got;
    EXPECT_FALSE(line_.ReceiveTelegram(record_, AdapterLine::Form::kExact, 7, got, 10));
    EXPECT_EQ(+record_.status, kStatusNoAnswer);
    EXPECT_EQ(fake_.link.Written().back(), 0x15);
}

TEST_F(AdapterLineTest, TelegramLongerThanTheLimitIsRefused) {
    SetRepeat(0);
    fake_.link.Deliver({0x02});
    fake_.link.OnWrite({0x10}, sim::line::FrameBlock(Bytes(kMaxTelegram + 1, 0x55)));
    std::vector<uint8_t> got;
    EXPECT_FALSE(line_.ReceiveTelegram(record_, AdapterLine::Form::kAny, 8, got, 10));
    EXPECT_LE(got.size(), 8u);
}

TEST_F(AdapterLineTest, NoAnswerWaitsTheTimeOutAndNoLonger) {
    SetRepeat(0);
    const uint64_t before = fake_.link.NowMs();
    std::vector<uint8_t> got;
    EXPECT_FALSE(line_.ReceiveTelegram(record_, AdapterLine::Form::kAny, 8, got, 100));
    const uint64_t waited = fake_.link.NowMs() - before;
    EXPECT_GE(waited, 100u * 55u);
    EXPECT_LT(waited, 100u * 55u + 18u * 55u + 1);
    EXPECT_EQ(+record_.status, kStatusNoAnswer);
}

}  // namespace
}  // namespace vaultra::s7
