// ISO-on-TCP transport against a simulated PLC that answers packets.
#include <algorithm>
#include <vector>

#include "drivers/s7/answer_match.h"
#include "tests/drivers/s7/session_fixture.h"

namespace vaultra::s7::testing {
namespace {

class IsoTest : public SessionTest<IsoPeer, IsoChannel> {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ASSERT_TRUE(channel.Initialise(record));
    }
};

TEST_F(IsoTest, ConnectSendsTheRequestWithRackSlotAndSetsUpCommunication) {
    record.rackSlot = 2;
    ASSERT_TRUE(channel.EnsureConnected(record));
    ASSERT_EQ(peer.packets.size(), 2u);
    EXPECT_EQ(peer.packets[0], (Bytes{0x11, 0xE0, 0x00, 0x00, 0x00, 0x01, 0x00, 0xC0, 0x01, 0x08, 0xC1, 0x02,
                                      0x01, 0x00, 0xC2, 0x02, 0x02, 0x02}));
    EXPECT_EQ(peer.packets[1], (Bytes{0x02, 0xF0, 0x80, 0x32, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x08,
                                      0x00, 0x00, 0xF0, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0}));
    EXPECT_TRUE(channel.linkFlags & kLinkConnected);
}

TEST_F(IsoTest, RefusedConnectionIsStatus2000AndSilenceIsStatus1) {
    peer.refuseConnect = true;
    EXPECT_FALSE(channel.EnsureConnected(record));
    EXPECT_EQ(+record.status, kStatusRefused);
    peer.refuseConnect = false;
    peer.silent = true;
    SetRepeat(0);
    EXPECT_FALSE(channel.EnsureConnected(record));
    EXPECT_EQ(+record.status, kStatusNoAnswer);
}

TEST_F(IsoTest, SilenceIsWaitedForOnEveryAttemptButACutConnectionFailsAtOnce) {
    SetTimeOut(20);
    SetRepeat(3);
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.silent = true;
    uint32_t start = link::TicksNow();
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
    EXPECT_GE(link::TicksNow() - start, 4u * 20u);

    // Cut while the answer is awaited: no wait at all, and the next request connects anew.
    const Bytes request{0x29, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x50,
                        0x5F, 0x50, 0x52, 0x4F, 0x47, 0x52, 0x41, 0x4D};
    ASSERT_TRUE(channel.Send(record, 1, request, {}));
    peer.cut = true;
    start = link::TicksNow();
    Answer answer;
    EXPECT_FALSE(channel.Receive(record, answer));
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_LT(link::TicksNow() - start, 20u);  // one read, not the time-out
    EXPECT_FALSE(channel.linkFlags & kLinkConnected);

    // A new connection, then a cut found before a request is sent: it is not sent into a connection that
    // cannot answer.
    peer.cut = false;
    peer.silent = false;
    const size_t before = peer.packets.size();
    ASSERT_TRUE(channel.EnsureConnected(record));
    EXPECT_EQ(peer.packets.at(before).at(1), 0xE0);  // a connection request
    peer.cut = true;
    const size_t sent = peer.packets.size();
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_EQ(peer.packets.size(), sent);
    peer.cut = false;
    EXPECT_EQ(Stop(channel, record), 1);
}

TEST_F(IsoTest, PendingDisconnectRequestFailsTheNextRequestWithStatus4) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.Push({0x06, 0x80, 0x00, 0x01, 0x44, 0x31, 0x00});
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_EQ(+record.plcError, 0x80);
    EXPECT_EQ(peer.plc.seen["stop"], 0);
}

TEST_F(IsoTest, HeaderOnlyAnswerSucceedsWhenNothingIsWanted) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.Push({0x02, 0xF0, 0x80, 0x32, 0x07, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00});
    Answer answer;
    EXPECT_TRUE(channel.Receive(record, answer));
    EXPECT_EQ(channel.pduReference, 9);
}

TEST_F(IsoTest, LateAnswersAreDroppedAndTheAnswerToTheRequestIsTaken) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    const uint16_t ref = channel.pduReference;
    peer.plc.password = {1, 2, 3, 4, 5, 6, 7, 8};
    peer.lateAnswers = {
        UserDataPdu(ref, 0x45, 0x02, 0, true, 0xD602, {}),  // another subfunction
        UserDataPdu(ref, 0x44, 0x01, 0, true, 0xD602, {}),  // another function group
        UserDataPdu(static_cast<uint16_t>(ref + 1), 0x45, 0x01, 0, true, 0xD602, {}),  // another reference
        AckPdu(ref, 0xD2, 0x03, {0x29}, {}),  // an acknowledgement answers no user data
    };
    const uint8_t right[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Password(channel, record, right), 1);
    EXPECT_EQ(+record.status, kStatusOk);
    EXPECT_EQ(+record.plcError, 0);
    EXPECT_EQ(channel.pduReference, ref);
}

TEST_F(IsoTest, EndlessLateAnswersFailWithStatusOne) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.lateAnswers.assign(kMaxStaleAnswers + 1,
                            AckPdu(static_cast<uint16_t>(channel.pduReference + 1), 0, 0, {0x29}, {}));
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
}

TEST_F(IsoTest, NonDataTpduIsStatus4WithItsCode) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.Push({0x02, 0x70, 0x00, 0x00});
    Answer answer;
    EXPECT_FALSE(channel.Receive(record, answer));
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_EQ(+record.plcError, 0x70);
}

TEST_F(IsoTest, PacketShorterThanItsHeaderAnnouncesFails) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    // announces 4 parameter and 8 data bytes, carries 4 + 2
    peer.Push({0x02, 0xF0, 0x80, 0x32, 0x03, 0x00, 0x00, 0x09, 0x00, 0x00, 0x02, 0x00, 0x08, 0x00, 0x00, 0x1E,
               0x00, 0xAA, 0xBB});
    uint8_t param[4];
    uint8_t data[16];
    Answer answer;
    answer.wantParam = 4;
    answer.param = param;
    answer.takeData = true;
    answer.data = data;
    EXPECT_FALSE(channel.Receive(record, answer));
    EXPECT_EQ(+record.status, kStatusNoAnswer);
}

TEST_F(IsoTest, DataBeyondTheCallersRoomIsDropped) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    Bytes packet{0x02, 0xF0, 0x80, 0x32, 0x07, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x20};
    for (int i = 0; i < 0x20; ++i)
        packet.push_back(static_cast<uint8_t>(i));
    peer.Push(packet);
    uint8_t data[8] = {};
    Answer answer;
    answer.takeData = true;
    answer.data = data;
    EXPECT_TRUE(channel.Receive(record, answer));
    EXPECT_EQ(answer.dataStored, 8u);
    EXPECT_EQ(answer.dataReceived, 32u);
    EXPECT_EQ(data[7], 7);
}

TEST_F(IsoTest, TrailingErrorHeaderIsAPlcError) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.Push({0x02, 0xF0, 0x80, 0x32, 0x07, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x81, 0x04});
    Answer answer;
    EXPECT_FALSE(channel.Receive(record, answer));
    EXPECT_EQ(+record.status, kStatusPlcError);
    EXPECT_EQ(+record.plcError, 0x8104);
}

TEST_F(IsoTest, OversizedRequestIsNotSent) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    const size_t before = peer.packets.size();
    const Bytes param(1024 - 4 - 3 - 10 + 1, 0);
    EXPECT_FALSE(channel.Send(record, s7wire::kRosctrJob, param, {}));
    EXPECT_EQ(+record.status, kStatusPort);
    EXPECT_EQ(peer.packets.size(), before);
}

TEST_F(IsoTest, DirectoryAndUploadOverIsoOnTcp) {
    for (uint16_t n = 1; n <= 120; ++n)
        peer.plc.blocks[{'A', n}] = MiniPlc::MakeBlock(0x0A, n, 300 + n);
    std::vector<int16_t> table(kPresenceEntries, 0);
    ASSERT_EQ(ReadDirectory(channel, record, 0, table.data(), nullptr), 1);
    EXPECT_EQ(std::count(table.begin(), table.end(), -1), 120);
    EXPECT_EQ(peer.plc.seen["followUp"], 2);
    std::vector<uint8_t> image(1000);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 0, 77, 0), 1);
    EXPECT_TRUE(
        std::equal(peer.plc.blocks[{'A', 77}].begin(), peer.plc.blocks[{'A', 77}].end(), image.begin()));
}

TEST_F(IsoTest, DirectoryAnswerInSeveralDataUnitsIsJoined) {
    peer.plc.entriesPerAnswer = 100;
    peer.splitAbove = 240;
    for (uint16_t n = 1; n <= 100; ++n)
        peer.plc.blocks[{'E', n}] = MiniPlc::MakeBlock(0x0E, n, 100);
    std::vector<int16_t> table(kPresenceEntries, 0);
    ASSERT_EQ(ReadDirectory(channel, record, 3, table.data(), nullptr), 1);
    EXPECT_EQ(std::count(table.begin(), table.end(), -1), 100);
}

TEST_F(IsoTest, MemoryRoundTrip) {
    const uint16_t values[3] = {0x0102, 0x1003, 0xFFFF};
    ASSERT_EQ(WriteArea(channel, record, kAreaOutputs, kSizeWord, 4, 3, 0, values), 1);
    uint16_t back[3] = {};
    ASSERT_EQ(ReadArea(channel, record, kAreaOutputs, kSizeWord, 4, 3, 0, back), 1);
    EXPECT_TRUE(std::equal(values, values + 3, back));
    EXPECT_EQ(ToggleRead(channel, record), 1);
}

TEST_F(IsoTest, DisconnectSendsTheRequestWithThePeerReference) {
    ASSERT_TRUE(channel.EnsureConnected(record));
    EXPECT_TRUE(channel.DisconnectAndRelease(record));
    EXPECT_EQ(peer.packets.back(), (Bytes{0x06, 0x80, 0x44, 0x31, 0x00, 0x01, 0x00}));
    EXPECT_FALSE(channel.linkFlags & kLinkConnected);
}

}  // namespace
}  // namespace vaultra::s7::testing
