// The MPI adapter protocol against a simulated adapter and PLC.
#include <algorithm>
#include <utility>

#include "drivers/s7/answer_match.h"
#include "tests/drivers/s7/session_fixture.h"

namespace vaultra::s7::testing {
namespace {

class LanAdapter : public AdapterChannel {
public:
    LanAdapter() : AdapterChannel(false) {}
};
class SerialAdapter : public AdapterChannel {
public:
    SerialAdapter() : AdapterChannel(true) {}
};

using AdapterTest = SessionTest<AdapterPeer, LanAdapter>;
using SerialAdapterTest = SessionTest<AdapterPeer, SerialAdapter>;

bool StartsWith(const Bytes& b, std::initializer_list<uint8_t> prefix) {
    return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}

TEST_F(AdapterTest, InitialisationSendsBusParametersAndReadsTheStationList) {
    record.localAddress = 0;
    record.busSpeed = 0;
    record.status = 0x1234;
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_EQ(peer.telegrams.size(), 3u);
    EXPECT_EQ(peer.telegrams[0],
              (Bytes{0x01, 0x03, 0x02, 0x86, 0x00, 0x9F, 0x01, 0x3C, 0x00, 0x90, 0x01, 0x14,
                     0x00, 0x00, 0x14, 0x02, 0x00, 0x7E, 0x05, 0x01, 0x01, 0x03, 0x81}));
    EXPECT_EQ(peer.telegrams[1], (Bytes{0x01, 0x08, 0x02}));
    EXPECT_EQ(peer.telegrams[2], (Bytes{0x01, 0x07, 0x02}));
    EXPECT_TRUE(channel.StationActive(record));
    record.plcAddress = 3;
    EXPECT_FALSE(channel.StationActive(record));
    EXPECT_EQ(+record.status, 0);
    // status area: 22 zero bytes, seven 256s, then 0, 0, 10, 0
    EXPECT_EQ(record.area.statusArea[21], 0);
    EXPECT_EQ(record.area.statusArea[22], 0x00);
    EXPECT_EQ(record.area.statusArea[23], 0x01);
    EXPECT_EQ(record.area.statusArea[22 + 2 * 9], 10);
}

TEST_F(AdapterTest, BusyReplyTakesTheExtraStepAndSucceeds) {
    peer.busReply = {0x01, 0x03, 0x20, 'E', '=', '0', '3', '3', '0'};
    ASSERT_TRUE(channel.Initialise(record));
    EXPECT_EQ(peer.telegrams[1], (Bytes{0x01, 0x0C, 0x02}));
    EXPECT_TRUE(channel.linkFlags & kLinkExtraStep);
}

TEST_F(AdapterTest, OtherErrorReplyRejectsTheInitialisation) {
    peer.busReply = {0x01, 0x03, 0x20, 'E', '=', '0', '3', '1', '2'};
    EXPECT_FALSE(channel.Initialise(record));
    EXPECT_EQ(+record.status, kStatusAdapterReject);
}

TEST_F(SerialAdapterTest, AdapterModeOneUsesTheShortSequence) {
    record.adapterMode = 1;
    ASSERT_TRUE(channel.Initialise(record));
    EXPECT_EQ(peer.telegrams[0], (Bytes{0x01, 0x0E, 0x02}));
    EXPECT_EQ(peer.telegrams[1], (Bytes{0x01, 0x0B, 0x02}));
    EXPECT_EQ(peer.telegrams[2], (Bytes{0x01, 0x0C, 0x02}));
    EXPECT_TRUE(channel.linkFlags & kLinkExtraStep);
}

TEST_F(AdapterTest, AdapterModeIsIgnoredOutsideTheSerialLibrary) {
    record.adapterMode = 1;
    ASSERT_TRUE(channel.Initialise(record));
    EXPECT_TRUE(StartsWith(peer.telegrams[0], {0x01, 0x03, 0x02}));
}

TEST_F(AdapterTest, ConnectNamesStationAndRackSlotThenSetsUpCommunication) {
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    ASSERT_GE(peer.telegrams.size(), 7u);
    EXPECT_EQ(peer.telegrams[3], (Bytes{0x00, 0x0D, 0x00, 0x03, 0xE0, 0x04, 0x00, 0x80, 0x00, 0x02,
                                        0x01, 0x06, 0x01, 0x00, 0x00, 0x01, 0x02, 0x02, 0x02, 0x02}));
    EXPECT_EQ(peer.telegrams[4], (Bytes{0x00, 0x0C, 0x03, 0x03, 0x05, 0x01}));
    // setup communication: sequence 0, PDU reference 2 (low byte first), parameter F0 ... E0
    EXPECT_EQ(peer.telegrams[5],
              (Bytes{0x00, 0x0C, 0x03, 0x03, 0xF1, 0x00, 0x32, 0x01, 0x00, 0x00, 0x02, 0x00,
                     0x00, 0x08, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0}));
    EXPECT_TRUE(StartsWith(peer.telegrams[6], {0x00, 0x0C, 0x03, 0x03, 0xB0, 0x01}));
    EXPECT_EQ(peer.plc.seen["setup"], 1);
    // connected: a second request does not connect again
    EXPECT_TRUE(channel.EnsureConnected(record));
    EXPECT_EQ(peer.plc.seen["setup"], 1);
}

TEST_F(AdapterTest, ShortConnectReplyIsARefusal) {
    peer.refuseConnect = true;
    ASSERT_TRUE(channel.Initialise(record));
    EXPECT_FALSE(channel.EnsureConnected(record));
    EXPECT_EQ(+record.status, kStatusRefused);
    EXPECT_FALSE(channel.linkFlags & kLinkConnected);
}

TEST_F(AdapterTest, ConnectConfirmAndAnEchoOfTheConnectTelegramBothConnect) {
    for (const bool echo : {false, true}) {
        SCOPED_TRACE(echo ? "echo" : "confirm");
        peer.echoConnect = echo;
        peer.plc.seen.clear();
        ASSERT_TRUE(channel.Initialise(record));
        ASSERT_TRUE(channel.EnsureConnected(record)) << record.status;
        EXPECT_TRUE(channel.linkFlags & kLinkConnected);
        EXPECT_EQ(peer.plc.seen["setup"], 1);
        EXPECT_EQ(ToggleRead(channel, record), 1) << record.status;
        EXPECT_EQ(peer.plc.seen["toggle"], 1);
    }
}

TEST(MiniPlcReferences, ASetupWithoutReferenceTwoOrAJumpingReferenceIsRefused) {
    MiniPlc plc;
    const Bytes setupHighFirst{0x32, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x08, 0x00,
                               0x00, 0xF0, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};
    ASSERT_EQ(plc.Handle(setupHighFirst).size(), 1u);
    EXPECT_EQ(plc.referenceFaults, 1);
    EXPECT_EQ(plc.seen["setup"], 0);
    Bytes setup = setupHighFirst;
    std::swap(setup[4], setup[5]);
    plc.Handle(setup);
    EXPECT_EQ(plc.seen["setup"], 1);
    const Bytes stop{0x32, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x10, 0x00, 0x00, 0x29, 0x00, 0x00,
                     0x00, 0x00, 0x00, 0x09, 0x50, 0x5F, 0x50, 0x52, 0x4F, 0x47, 0x52, 0x41, 0x4D};
    plc.Handle(stop);
    EXPECT_EQ(plc.referenceFaults, 2) << "reference 0x0300 after 2";
    Bytes next = stop;
    std::swap(next[4], next[5]);
    plc.Handle(next);
    EXPECT_EQ(plc.seen["stop"], 1);
    EXPECT_EQ(plc.referenceFaults, 2);
}

TEST_F(AdapterTest, SequenceByteRunsToTwoHundredFiftyFiveThenOne) {
    ASSERT_TRUE(channel.Initialise(record));
    for (int i = 0; i < 257; ++i)
        ASSERT_EQ(ToggleRead(channel, record), 1) << i;
    const auto& seq = peer.sequences;
    ASSERT_EQ(seq.size(), 258u);  // setup + 257 requests
    EXPECT_EQ(seq[0], 0);
    EXPECT_EQ(seq[1], 1);
    EXPECT_EQ(seq[255], 255);
    EXPECT_EQ(seq[256], 1);
    EXPECT_EQ(std::count(seq.begin(), seq.end(), 0), 1);
}

TEST_F(AdapterTest, ErrorHeaderOfARefusedJobStopsWithoutRetry) {
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.plc.failNextJob = 0xD203;
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusPlcError);
    EXPECT_EQ(+record.plcError, 0xD203);
    EXPECT_EQ(peer.plc.seen["stop"], 0);
    EXPECT_EQ(peer.sequences.size(), 2u);  // setup and the one stop job: no second attempt
    // the answer was acknowledged, so the adapter is free for the next request
    EXPECT_EQ(Stop(channel, record), 1);
    EXPECT_FALSE(peer.plc.running);
}

TEST_F(AdapterTest, LateAnswersToEarlierRequestsAreAcknowledgedAndDropped) {
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    const uint16_t ref = channel.pduReference;
    const size_t before = peer.telegrams.size();
    peer.lateAnswers = {
        AckPdu(static_cast<uint16_t>(ref + 1), 0xD2, 0x03, {0x29}, {}),  // another PDU reference, an error
        AckPdu(ref, 0, 0, {0x28}, {}),                                   // another function (start)
        UserDataPdu(ref, 0x44, 0x01, 0, true, 0, {0xFF, 0x09, 0x00, 0x00}),  // user data answers no job
    };
    EXPECT_EQ(Stop(channel, record), 1);
    EXPECT_EQ(+record.status, kStatusOk);
    EXPECT_EQ(+record.plcError, 0);
    EXPECT_FALSE(peer.plc.running);
    EXPECT_EQ(channel.pduReference, ref);
    // The stop job, then an acknowledgement of each late answer and of the answer, in the adapter's order.
    ASSERT_EQ(peer.telegrams.size(), before + 5);
    for (size_t i = before + 1; i < peer.telegrams.size(); ++i) {
        ASSERT_TRUE(StartsWith(peer.telegrams[i], {0x00, 0x0C, 0x03, 0x03, 0xB0, 0x01}));
        if (i > before + 1) {
            EXPECT_EQ(peer.telegrams[i][6], peer.telegrams[i - 1][6] + 1);
        }
    }
    // The adapter is free again: the next request gets its own answer.
    EXPECT_EQ(Start(channel, record), 1);
    EXPECT_TRUE(peer.plc.running);
}

TEST_F(AdapterTest, EndlessLateAnswersFailTheWaitWithStatusOne) {
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    const uint16_t other = static_cast<uint16_t>(channel.pduReference + 7);
    const size_t before = peer.telegrams.size();
    peer.lateAnswers.assign(kMaxStaleAnswers + 1, AckPdu(other, 0, 0, {0x29}, {}));
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
    EXPECT_EQ(peer.telegrams.size(), before + 1 + kMaxStaleAnswers + 1);  // each one acknowledged
}

TEST_F(AdapterTest, UserDataErrorFieldIsAPlcError) {
    ASSERT_TRUE(channel.Initialise(record));
    peer.plc.password = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t wrong[8] = {1, 2, 3, 4, 5, 6, 7, 0};
    EXPECT_EQ(Password(channel, record, wrong), 0);
    EXPECT_EQ(+record.status, kStatusPlcError);
    EXPECT_EQ(+record.plcError, 0xD602);
    const uint8_t right[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Password(channel, record, right), 1);
    EXPECT_EQ(+record.plcError, 0);
}

TEST_F(AdapterTest, NakedTelegramsAreRepeated) {
    ASSERT_TRUE(channel.Initialise(record));
    peer.nakTelegrams = 2;
    EXPECT_EQ(ToggleRead(channel, record), 1);
    EXPECT_EQ(peer.plc.seen["toggle"], 1);
}

TEST_F(AdapterTest, SilentAdapterGivesStatusOne) {
    ASSERT_TRUE(channel.Initialise(record));
    SetRepeat(0);
    peer.silent = true;
    EXPECT_EQ(ToggleRead(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
}

TEST_F(AdapterTest, SilenceIsWaitedForOnEveryAttemptButACutConnectionFailsAtOnce) {
    SetTimeOut(20);
    SetRepeat(3);
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.silent = true;
    uint32_t start = link::TicksNow();
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
    EXPECT_GE(link::TicksNow() - start, 4u * 20u);

    // The adapter closes the connection on taking the request: no wait, no second attempt, nothing more
    // written into a connection that cannot answer.
    peer.silent = false;
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    size_t writesAtCut = 0;
    peer.onDataTelegram = [&](const Bytes&) {
        peer.Cut();
        writesAtCut = peer.writeCalls.size();
    };
    const size_t requestsBefore = peer.sequences.size();
    start = link::TicksNow();
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_LT(link::TicksNow() - start, 20u);
    EXPECT_EQ(peer.sequences.size(), requestsBefore + 1);
    EXPECT_EQ(peer.writeCalls.size(), writesAtCut);
    // Ending the session after the cut sends nothing either, and fails at once.
    EXPECT_FALSE(channel.DisconnectAndRelease(record));
    EXPECT_EQ(peer.writeCalls.size(), writesAtCut);
    EXPECT_EQ(+record.status, kStatusDisconnected);

    // The next request starts over on a new connection: initialisation, connect, then the job.
    peer.onDataTelegram = nullptr;
    peer.Reconnect();
    peer.telegrams.clear();
    const int stops = peer.plc.seen["stop"];
    EXPECT_EQ(Stop(channel, record), 1) << std::hex << record.status;
    ASSERT_GE(peer.telegrams.size(), 5u);
    EXPECT_TRUE(StartsWith(peer.telegrams[0], {0x01, 0x03, 0x02}));
    EXPECT_TRUE(StartsWith(peer.telegrams[3], {0x00, 0x0D, 0x00, 0x03, 0xE0}));
    EXPECT_EQ(peer.plc.seen["stop"], stops + 1);

    // A connection that went while the line was idle is found before the next request goes out.
    peer.Cut();
    const size_t writes = peer.writeCalls.size();
    EXPECT_EQ(Stop(channel, record), 0);
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_EQ(peer.writeCalls.size(), writes);
}

TEST_F(AdapterTest, ACutBetweenThePiecesOfASplitAnswerFailsTheUploadAtOnce) {
    SetTimeOut(20);
    SetRepeat(3);
    peer.plc.uploadPiece = 440;  // answers the adapter splits into pieces
    AddBlocks('A', 0x0A, 1, 900, 3);
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.onTelegram = [&](const Bytes& telegram) {
        if (telegram == Bytes{0x00, 0x0C, 0x03, 0x03, 0x05, 0x01})  // the driver asks for the next piece
            peer.Cut();
    };
    std::vector<uint8_t> image(900);
    BlockRecord block{};
    block.image = image.data();
    const uint32_t start = link::TicksNow();
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 3, 0), 0);
    EXPECT_EQ(+record.status, kStatusDisconnected);
    EXPECT_LT(link::TicksNow() - start, 20u);
    EXPECT_EQ(peer.pieces, 0);
}

TEST_F(AdapterTest, UnexpectedTelegramBeforeARequestIsAbsorbed) {
    ASSERT_TRUE(channel.Initialise(record));
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.stxCollisions = 1;
    EXPECT_EQ(ToggleRead(channel, record), 1);
}

TEST_F(AdapterTest, StationChangeDisconnectsAndConnectsTheNewStation) {
    ASSERT_TRUE(channel.Initialise(record));
    uint16_t words[1] = {};
    ASSERT_EQ(ReadArea(channel, record, kAreaFlags, kSizeWord, 0, 1, 0, words), 1);
    peer.telegrams.clear();
    record.plcAddress = 5;
    ASSERT_EQ(ReadArea(channel, record, kAreaFlags, kSizeWord, 0, 1, 0, words), 1);
    ASSERT_GE(peer.telegrams.size(), 2u);
    EXPECT_EQ(peer.telegrams[0], (Bytes{0x00, 0x0C, 0x03, 0x03, 0x80}));
    EXPECT_TRUE(StartsWith(peer.telegrams[1], {0x00, 0x0D, 0x00, 0x03, 0xE0}));
    EXPECT_EQ(peer.telegrams[1][17], 5);
    EXPECT_EQ(peer.plc.seen["setup"], 2);
}

TEST_F(AdapterTest, LinkFailureIsFollowedByAFreshInitialisationOnTheNextMemoryAccess) {
    ASSERT_TRUE(channel.Initialise(record));
    uint16_t words[1] = {};
    ASSERT_EQ(ReadArea(channel, record, kAreaFlags, kSizeWord, 0, 1, 0, words), 1);
    record.status = kStatusNoAnswer;
    peer.telegrams.clear();
    ASSERT_EQ(ReadArea(channel, record, kAreaFlags, kSizeWord, 0, 1, 0, words), 1);
    EXPECT_TRUE(StartsWith(peer.telegrams[0], {0x01, 0x03, 0x02}));
}

}  // namespace
}  // namespace vaultra::s7::testing
