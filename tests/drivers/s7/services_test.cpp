// Directory, upload, control and memory services over the adapter protocol.
#include <algorithm>
#include <vector>

#include "tests/drivers/s7/session_fixture.h"

namespace vaultra::s7::testing {
namespace {

class LanAdapter : public AdapterChannel {
public:
    LanAdapter() : AdapterChannel(false) {}
};

class ServicesTest : public SessionTest<AdapterPeer, LanAdapter> {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ASSERT_TRUE(channel.Initialise(record));
    }
    std::vector<int16_t> table = std::vector<int16_t>(kPresenceEntries, 0);

    size_t Marked() const { return static_cast<size_t>(std::count(table.begin(), table.end(), -1)); }
};

class RecordingProgress : public ProgressSink {
public:
    bool Report(intptr_t lParam) override {
        reports.push_back(lParam);
        return !cancel;
    }
    std::vector<intptr_t> reports;
    bool cancel = false;
};

TEST_F(ServicesTest, TypeWithoutBlocksClearsTheTableWithoutASecondRequest) {
    AddBlocks('E', 0x0E, 3, 100);
    std::fill(table.begin(), table.end(), int16_t{7});
    EXPECT_EQ(ReadDirectory(channel, record, 0, table.data(), nullptr), 1);
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](int16_t v) { return v == 0; }));
    EXPECT_EQ(peer.plc.seen["listType"], 0);
}

TEST_F(ServicesTest, FiftyTwoBlocksComeInOneAnswerFiftyThreeNeedOneFollowUp) {
    AddBlocks('A', 0x0A, 52, 60);
    EXPECT_EQ(ReadDirectory(channel, record, 0, table.data(), nullptr), 1);
    EXPECT_EQ(Marked(), 52u);
    EXPECT_EQ(peer.plc.seen["followUp"], 0);

    AddBlocks('A', 0x0A, 1, 60, 500);
    std::fill(table.begin(), table.end(), int16_t{0});
    EXPECT_EQ(ReadDirectory(channel, record, 0, table.data(), nullptr), 1);
    EXPECT_EQ(Marked(), 53u);
    EXPECT_EQ(table[500], -1);
    EXPECT_EQ(peer.plc.seen["followUp"], 1);
    // the follow-up names the sequence number of the previous answer
    const Bytes& req = peer.plc.lastRequest;
    EXPECT_EQ(Bytes(req.begin() + 10, req.begin() + 22),
              (Bytes{0x00, 0x01, 0x12, 0x08, 0x12, 0x43, 0x02, 0x05, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(ServicesTest, AnswerSplitByTheAdapterIsReassembled) {
    peer.plc.entriesPerAnswer = 60;  // 244 data bytes: 218 in the first telegram, 26 after the continue
    AddBlocks('C', 0x0C, 60, 60);
    EXPECT_EQ(ReadDirectory(channel, record, 5, table.data(), nullptr), 1);
    EXPECT_EQ(Marked(), 60u);
    EXPECT_EQ(peer.pieces, 1);
    const Bytes continueTelegram{0x00, 0x0C, 0x03, 0x03, 0x05, 0x01};
    EXPECT_EQ(std::count(peer.telegrams.begin(), peer.telegrams.end(), continueTelegram),
              2);  // connect + piece
}

TEST_F(ServicesTest, HighestBlockNumberIsMarkedAtTheLastEntry) {
    AddBlocks('8', 0x08, 1, 60, 65535);
    EXPECT_EQ(ReadDirectory(channel, record, 4, table.data(), nullptr), 1);
    EXPECT_EQ(table[65535], -1);
    EXPECT_EQ(Marked(), 1u);
}

TEST_F(ServicesTest, ProgressIsReportedAndCanCancelTheWait) {
    AddBlocks('A', 0x0A, 2, 60);
    RecordingProgress progress;
    EXPECT_EQ(ReadDirectory(channel, record, 0, table.data(), &progress), 1);
    ASSERT_GE(progress.reports.size(), 2u);
    EXPECT_EQ(progress.reports.front(), 0);
    EXPECT_EQ(progress.reports.back(), kProgressAnswerStarted);

    RecordingProgress cancelling;
    cancelling.cancel = true;
    EXPECT_EQ(ReadDirectory(channel, record, 0, table.data(), &cancelling), 0);
    EXPECT_EQ(cancelling.reports.size(), 1u);
}

TEST_F(ServicesTest, UnknownTypeIndexSendsNothing) {
    const size_t before = peer.written.size();
    EXPECT_EQ(ReadDirectory(channel, record, 7, table.data(), nullptr), 0);
    EXPECT_EQ(peer.written.size(), before);
}

TEST_F(ServicesTest, BlockInfoFillsTheRecordAndNamesTheBlockWithFiveDigits) {
    AddBlocks('E', 0x0E, 1, 0x1234, 123);
    BlockRecord block{};
    int16_t found = 0;
    ASSERT_EQ(BlockInfo(channel, record, &block, 3, 123, &found), 1);
    EXPECT_EQ(found, -1);
    EXPECT_EQ(block.marker[0], 0x70);
    EXPECT_EQ(block.type, 3);
    EXPECT_EQ(block.number, 123);
    EXPECT_EQ(block.mark, 0x84);
    EXPECT_EQ(block.version, 0x11);
    EXPECT_EQ(block.length, 0x1234);
    const Bytes& req = peer.plc.lastRequest;
    EXPECT_EQ(Bytes(req.end() - 8, req.end()), (Bytes{'0', 'E', '0', '0', '1', '2', '3', 'B'}));
    BlockRecord untouched{};
    EXPECT_EQ(BlockInfo(channel, record, &untouched, 3, 124, &found), 0);
    EXPECT_EQ(untouched.mark, 0);
}

TEST_F(ServicesTest, UploadIsByteIdenticalWithTheMinimumOfRequests) {
    AddBlocks('C', 0xF4, 1, 1000, 7);
    std::vector<uint8_t> image(2000, 0xEE);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 5, 7, 0), 1);
    const Bytes& original = peer.plc.blocks[{'C', 7}];
    EXPECT_TRUE(std::equal(original.begin(), original.end(), image.begin()));
    EXPECT_EQ(image[1000], 0xEE);  // nothing beyond the load length
    EXPECT_EQ(block.length, 1000);
    EXPECT_EQ(block.type, 5);
    EXPECT_EQ(block.number, 7);
    EXPECT_EQ(peer.plc.seen["startUpload"], 1);
    EXPECT_EQ(peer.plc.seen["upload"], 5);  // 1000 bytes in pieces of 200
    EXPECT_EQ(peer.plc.seen["endUpload"], 1);
}

TEST_F(ServicesTest, LateUploadPieceBeforeTheStartAnswerIsNotTakenForIt) {
    AddBlocks('C', 0xF4, 1, 300, 4);
    ASSERT_TRUE(channel.EnsureConnected(record));
    // A piece of an earlier, abandoned upload: same PDU reference, but the upload function, not start upload.
    peer.lateAnswers = {AckPdu(channel.pduReference, 0, 0, {0x1E, 0x01}, Bytes(24, 0x55))};
    std::vector<uint8_t> image(300);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 5, 4, 0), 1);
    EXPECT_EQ(image, (peer.plc.blocks[{'C', 4}]));
}

TEST_F(ServicesTest, UploadAnswersSplitByTheAdapterAreAppended) {
    peer.plc.uploadPiece = 440;
    AddBlocks('A', 0x0A, 1, 900, 3);
    std::vector<uint8_t> image(900);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 0, 3, 0), 1);
    EXPECT_EQ(image, (peer.plc.blocks[{'A', 3}]));
    EXPECT_GT(peer.pieces, 0);
}

TEST_F(ServicesTest, TheAcceptOfEachAnswerAndPieceSharesAWriteWithTheStxThatFollowsIt) {
    peer.plc.uploadPiece = 440;  // answers the adapter splits: continue requests between the pieces
    AddBlocks('A', 0x0A, 1, 900, 3);
    ASSERT_TRUE(channel.EnsureConnected(record));
    peer.writeCalls.clear();
    std::vector<uint8_t> image(900);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 0, 3, 0), 1);
    EXPECT_EQ(image, (peer.plc.blocks[{'A', 3}]));
    const auto& calls = peer.writeCalls;
    const int answers = peer.plc.seen["startUpload"] + peer.plc.seen["upload"] + peer.plc.seen["endUpload"];
    ASSERT_GT(peer.pieces, 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), Bytes{0x10, 0x02}), answers + peer.pieces);
    for (size_t i = 1; i < calls.size(); ++i)
        EXPECT_FALSE(calls[i - 1] == Bytes{0x10} && calls[i] == Bytes{0x02}) << "write " << i;
    // Seven writes per request, one per turn of the line, plus three per piece.
    EXPECT_EQ(calls.size(), static_cast<size_t>(7 * answers + 3 * peer.pieces));
}

TEST_F(ServicesTest, UploadInOneAnswerStillEndsTheUpload) {
    AddBlocks('A', 0x0A, 1, 150, 2);
    std::vector<uint8_t> image(150);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 0, 2, 0), 1);
    EXPECT_EQ(peer.plc.seen["upload"], 1);
    EXPECT_EQ(peer.plc.seen["endUpload"], 1);
}

TEST_F(ServicesTest, LoadLengthBeyondTheCallersBufferIsRefused) {
    AddBlocks('A', 0x0A, 1, 600, 2);
    std::vector<uint8_t> image(500, 0xEE);
    BlockRecord block{};
    block.image = image.data();
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 2, image.size()), 0);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(peer.plc.seen["upload"], 0);
}

TEST_F(ServicesTest, LoadLengthAboveSixtyFourKilobytesIsUploadedWhole) {
    peer.plc.uploadPiece = 440;
    AddBlocks('B', 0xF7, 1, 70000, 0);
    std::vector<uint8_t> image(70000);
    BlockRecord block{};
    block.image = image.data();
    ASSERT_EQ(ReadBlock(channel, record, &block, 1, 0, image.size()), 1);
    EXPECT_EQ(image, (peer.plc.blocks[{'B', 0}]));
    EXPECT_EQ(block.length, 70000 & 0xFFFF);
}

TEST_F(ServicesTest, HeaderLengthOtherThanTheBytesSentIsRefused) {
    AddBlocks('A', 0x0A, 1, 516, 3);
    Bytes& sent = peer.plc.blocks[{'A', 3}];
    sent[8] = 0x00;  // the header claims 65,270 bytes; 516 come
    sent[9] = 0x00;
    sent[10] = 0xFE;
    sent[11] = 0xF6;
    std::vector<uint8_t> image(70000, 0xEE);
    BlockRecord block{};
    block.image = image.data();
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 3, image.size()), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
    EXPECT_NE(image[0], 0x70);  // no header handed over
    EXPECT_TRUE(std::all_of(image.begin() + 516, image.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(peer.plc.seen["endUpload"], 1);  // the PLC's upload is still ended

    sent[10] = 0x02;  // and one claiming less than was sent
    sent[11] = 0x00;
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 3, image.size()), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);

    sent[10] = 0x02;  // the true length is taken
    sent[11] = 0x04;
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 3, image.size()), 1);
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), image.begin()));
}

TEST_F(ServicesTest, MissingBlockIsAPlcError) {
    std::vector<uint8_t> image(100);
    BlockRecord block{};
    block.image = image.data();
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 99, 0), 0);
    EXPECT_EQ(+record.status, kStatusPlcError);
    EXPECT_EQ(+record.plcError, 0xD209);
}

TEST_F(ServicesTest, PlcFallingSilentMidUploadFails) {
    peer.plc.uploadPiece = 100;
    AddBlocks('A', 0x0A, 1, 1000, 2);
    SetRepeat(0);
    peer.onDataTelegram = [&](const Bytes&) {
        if (peer.plc.seen["upload"] == 3)
            peer.silent = true;
    };
    std::vector<uint8_t> image(1000);
    BlockRecord block{};
    block.image = image.data();
    EXPECT_EQ(ReadBlock(channel, record, &block, 0, 2, 0), 0);
    EXPECT_EQ(+record.status, kStatusNoAnswer);
}

TEST_F(ServicesTest, WordsAreReadFromTheDoubledStartAndReturnedInHostOrder) {
    Bytes& flags = peer.plc.areas[kAreaFlags];
    flags[10] = 0x12;
    flags[11] = 0x34;
    flags[12] = 0xAB;
    flags[13] = 0xCD;
    uint16_t words[2] = {};
    ASSERT_EQ(ReadArea(channel, record, kAreaFlags, kSizeWord, 2 * 5, 2, 0, words), 1);
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0xABCD);
    const Bytes& req = peer.plc.lastRequest;
    EXPECT_EQ(Bytes(req.end() - 6, req.end()), (Bytes{0x02, 0x02, 0x00, 0x00, 0x00, 0x0A}));
}

TEST_F(ServicesTest, RangesOverOneHundredTwentyEightBytesAreRefusedBeforeAnyTraffic) {
    std::vector<uint16_t> words(65);
    ASSERT_EQ(ReadArea(channel, record, kAreaDataBlock, kSizeWord, 0, 64, 10, words.data()), 1);
    const size_t before = peer.written.size();
    EXPECT_EQ(ReadArea(channel, record, kAreaDataBlock, kSizeWord, 0, 65, 10, words.data()), 0);
    EXPECT_EQ(+record.status, kStatusTooLong);
    EXPECT_EQ(WriteArea(channel, record, kAreaFlags, kSizeByte, 0, 129, 0, words.data()), 0);
    EXPECT_EQ(peer.written.size(), before);
}

TEST_F(ServicesTest, WritesSendBytesUnchangedAndWordsBigEndian) {
    const uint8_t b[1] = {0x5A};
    ASSERT_EQ(WriteArea(channel, record, kAreaFlags, kSizeByte, 3, 1, 0, b), 1);
    EXPECT_EQ(peer.plc.areas[kAreaFlags][3], 0x5A);
    const uint16_t w[1] = {0x1234};
    ASSERT_EQ(WriteArea(channel, record, kAreaDataBlock, kSizeWord, 8, 1, 5, w), 1);
    EXPECT_EQ(peer.plc.areas[kAreaDataBlock][8], 0x12);
    EXPECT_EQ(peer.plc.areas[kAreaDataBlock][9], 0x34);
    peer.plc.writeReturnCode = 0x0A;
    EXPECT_EQ(WriteArea(channel, record, kAreaFlags, kSizeByte, 3, 1, 0, b), 0);
    EXPECT_EQ(+record.status, kStatusNoValues);
}

TEST_F(ServicesTest, ControlFunctions) {
    EXPECT_EQ(StartStopEx(channel, record, 0), 1);
    EXPECT_FALSE(peer.plc.running);
    EXPECT_EQ(StartStopEx(channel, record, 2), 1);
    EXPECT_TRUE(peer.plc.running);
    const size_t before = peer.written.size();
    EXPECT_EQ(StartStopEx(channel, record, 3), 0);
    EXPECT_EQ(peer.written.size(), before);

    uint8_t name[10] = {};
    ASSERT_EQ(ReadSystemStatusList(channel, record, 0x001C0000, name, sizeof name), 1);
    EXPECT_EQ(Bytes(name, name + 8), (Bytes{0xFF, 0x09, 0x00, 0x1C, 0x00, 0x1C, 0x00, 0x00}));

    uint32_t result = 0xFFFFFFFF;
    const int32_t timeout = DriverSettings().timeoutTicks;
    EXPECT_EQ(RamToRom(channel, record, &result), 1);
    EXPECT_EQ(result, 0x00002800u);
    EXPECT_EQ(DriverSettings().timeoutTicks, timeout);

    std::vector<uint8_t> stack(kBlockStackSize);
    int16_t flag = 0;
    EXPECT_EQ(BlockStack(channel, record, &flag, stack.data()), 1);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(stack[4], 1);
}

TEST_F(ServicesTest, InterruptStackLeavesTheFlagZeroOnFailure) {
    SetRepeat(0);
    peer.silent = true;
    uint8_t stack[kInterruptStackSize];
    int16_t flag = 5;
    EXPECT_EQ(InterruptStack(channel, record, stack, &flag), 0);
    EXPECT_EQ(flag, 0);
}

}  // namespace
}  // namespace vaultra::s7::testing
