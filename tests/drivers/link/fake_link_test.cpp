// The scripted fake that protocol tests rely on, seen through the Com* functions.
#include "drivers/link/fake_link.h"

#include <gtest/gtest.h>

#include "drivers/link/com.h"

namespace vaultra::link {
namespace {

using testing::Bytes;
using testing::Chunk;
using testing::FakeLinkScope;

Bytes ReadAll(Port port, std::int32_t ticks) {
    Bytes got;
    std::uint8_t value = 0;
    while (ComReadByteTimed(port, &value, ticks) == 1) {
        got.push_back(value);
    }
    return got;
}

TEST(FakeLinkTest, RulesAnswerInOrderOnceTheirTriggerWasWritten) {
    FakeLinkScope fake;
    fake.link.OnWrite({0x02}, {0x10}).OnWrite({0x10, 0x03}, {0x02});
    ComWriteByte(130, 0x10);  // no trigger yet
    EXPECT_EQ(ComHasInput(130), 0);
    ComWriteByte(130, 0x02);
    EXPECT_EQ(ReadAll(130, 2), (Bytes{0x10}));
    const std::uint8_t tail[] = {0xAA, 0x10, 0x03, 0x55};
    ComWrite(130, tail, 4);
    EXPECT_EQ(ReadAll(130, 2), (Bytes{0x02}));
    EXPECT_EQ(fake.link.RulesLeft(), 0u);
    EXPECT_EQ(fake.link.Written(), (Bytes{0x10, 0x02, 0xAA, 0x10, 0x03, 0x55}));
    ASSERT_EQ(fake.link.WriteCalls().size(), 3u);
    EXPECT_EQ(fake.link.WriteCalls()[2].port, 130);
    EXPECT_EQ(fake.link.WriteCalls()[2].bytes.size(), 4u);
}

TEST(FakeLinkTest, LateAnswersTimeOutOnTheVirtualClockAndArriveLater) {
    FakeLinkScope fake;
    fake.link.OnWrite({}, {0x42}, 2000);
    const std::uint64_t start = MillisecondsNow();
    ComWriteByte(0, 0x01);
    std::uint8_t value = 0;
    EXPECT_EQ(ComReadByteTimed(0, &value, 20), 0);  // 1100 ms
    EXPECT_EQ(MillisecondsNow() - start, 1100u);
    EXPECT_EQ(ComReadByteTimed(0, &value, 20), 1);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(MillisecondsNow() - start, 2000u);
}

TEST(FakeLinkTest, SplitAnswersAndSilence) {
    FakeLinkScope fake;
    fake.link.OnWriteChunks({0x01}, {{{0x10, 0x02}, 0}, {{0x33}, 300}});
    fake.link.OnWrite({0x02}, Bytes{});  // silent
    ComWriteByte(0, 0x01);
    std::uint8_t value = 0;
    EXPECT_EQ(ReadAll(0, 1), (Bytes{0x10, 0x02}));  // the rest is 300 ms late for a 55 ms wait
    EXPECT_EQ(ComReadByteTimed(0, &value, 10), 1);
    EXPECT_EQ(value, 0x33);
    ComWriteByte(0, 0x02);
    EXPECT_EQ(ComReadByte(0, &value), 0);
    EXPECT_EQ(fake.link.BytesLeft(), 0u);
}

TEST(FakeLinkTest, PacketsAreDeliveredChunkByChunkAndCutAtTheCapacity) {
    FakeLinkScope fake;
    fake.link.Deliver({1, 2, 3, 4, 5});
    fake.link.Deliver({6, 7});
    std::uint8_t buffer[3] = {};
    EXPECT_EQ(ComReadPacket(200, buffer, 3), 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(ComReadPacket(200, buffer, 3), 2);
    EXPECT_EQ(buffer[0], 6);
    EXPECT_EQ(ComReadPacket(200, buffer, 3), 0);
}

TEST(FakeLinkTest, OpensFlushesAndBreaksAreCounted) {
    FakeLinkScope fake;
    EXPECT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    EXPECT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 1);
    EXPECT_EQ(fake.link.OpenCount(0), 2);
    fake.link.Deliver({1});
    ComPushBack(0, 9);
    EXPECT_EQ(ComFlush(0), 1);
    EXPECT_EQ(ComHasInput(0), 0);  // both the ring and what had arrived are gone
    ComBreak(0, 9);
    ComPulseBreak(0);
    EXPECT_EQ(fake.link.Flushes(), 1);
    EXPECT_EQ(fake.link.Breaks(), 1);
    EXPECT_EQ(fake.link.PulseBreaks(), 1);
    EXPECT_EQ(ComRelease(0), 1);
    EXPECT_EQ(ComRelease(0), 1);
    EXPECT_EQ(ComRelease(0), 0);
    fake.link.FailOpen(true);
    EXPECT_EQ(ComOpenShared(0, 9600, 8, 'e', 2), 0);
}

}  // namespace
}  // namespace vaultra::link
