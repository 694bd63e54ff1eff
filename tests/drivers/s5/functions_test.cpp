// Block, memory and control functions on the scripted fake link.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <vaultra/tarn5.h>

#include "drivers/s5/as511.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/settings.h"
#include "tests/drivers/s5/script.h"

namespace vaultra::s5::testing {
namespace {

class Functions : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLibrarySettings();
        LibrarySettings().variant = Variant::Serial;
        Describe(r, ByteParams());
    }
    // The block information reply of a block at address with length words.
    void BlockInfoReply(uint16_t address, uint16_t length) {
        plc.Accept(0x1A)
            .Reply(ETX,
                   Cat({{0x00}, Words({address}), {0x70, 0x70, 0x01, 0x02, 0, 0, 0, 0}, Words({length})}))
            .Closing();
    }
    link::testing::FakeLinkScope fake;
    FakeLink& link = fake.link;
    ScriptedPlc plc{fake.link};
    ConnectionRecord r{};
};

bool Contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST_F(Functions, DirectoryOfAMissingTypeCausesNoTraffic) {
    uint16_t dir[4] = {};
    EXPECT_EQ(ReadDirectory(r, TARN5_SB, dir, 4), 0);
    EXPECT_TRUE(link.Written().empty());
    EXPECT_EQ(+r.status, 0);
}

TEST_F(Functions, DirectoryNeverWritesBeyondTheCallersCapacity) {
    plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({1, 2, 3, 4, 5, 6})})).Closing();
    uint16_t dir[5] = {0, 0, 0, 0, 0xBEEF};
    EXPECT_EQ(ReadDirectory(r, TARN5_DB, dir, 4), 0);
    EXPECT_EQ(+r.status, kErrUnexpected);
    EXPECT_EQ(dir[3], 4);
    EXPECT_EQ(dir[4], 0xBEEF);
    EXPECT_EQ(link.RulesLeft(), 0u);  // the function was still closed
}

TEST_F(Functions, DirectoryDoubledDleAndGoldenRequest) {
    plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({0x1010, 0x0010})})).Closing();
    uint16_t dir[4] = {};
    ASSERT_EQ(ReadDirectory(r, TARN5_OB, dir, 4), 1);
    EXPECT_EQ(dir[0], 0x1010);
    EXPECT_EQ(dir[1], 0x0010);
    // The type code of OB is 0x10 itself and travels doubled.
    EXPECT_EQ(link.Written(), Cat({RequestBytes(0x1B), {0x10, 0x10, DLE, EOT}, {DLE, ACK}, ClosingBytes()}));
}

TEST_F(Functions, ReadBlockGoldenAndBodyWithDle) {
    plc.Accept(0x06)
        .Reply(ETX,
               Cat({{0x00, 0x70, 0x70, 0x01, 0x05, 0x40, 0, 0, 0}, Words({7}), {0x10, 0x20, 0x30, 0x40}}))
        .Closing();
    uint8_t body[4] = {};
    S5BlockRecord block{};
    block.body = body;
    ASSERT_EQ(ReadBlock(r, &block, TARN5_DB, 5, 1), 1);
    EXPECT_EQ(link.Written(), Cat({RequestBytes(0x06), {0x01, 0x05, DLE, ETX}, {DLE, ACK}, ClosingBytes()}));
    EXPECT_EQ(+block.lengthWords, 7);
    EXPECT_EQ(+block.type, 0x01);
    EXPECT_EQ(+block.headerBytes[0], 0x40);
    EXPECT_EQ(Bytes(body, body + 4), (Bytes{0x10, 0x20, 0x30, 0x40}));
}

TEST_F(Functions, ReadBlockOfHeaderOnlyAndInWords) {
    plc.Accept(0x06).Reply(ETX, Cat({{0x00, 0x70, 0x70, 0x01, 0x06, 0, 0, 0, 0}, Words({5})})).Closing();
    S5BlockRecord block{};
    ASSERT_EQ(ReadBlock(r, &block, TARN5_DB, 6, 1), 1);
    EXPECT_EQ(+block.lengthWords, 5);
    plc.Accept(0x06)
        .Reply(ETX, Cat({{0x00, 0x70, 0x70, 0x01, 0x06, 0, 0, 0, 0}, Words({6, 0x1234})}))
        .Closing();
    uint16_t word = 0;
    block = S5BlockRecord{};
    block.body = reinterpret_cast<uint8_t*>(&word);
    ASSERT_EQ(ReadBlock(r, &block, TARN5_DB, 6, 2), 1);
    EXPECT_EQ(word, 0x1234);  // stored as its value
}

TEST_F(Functions, ReadBlockLongerThanTheBufferIsRefusedUnwritten) {
    plc.Accept(0x06)
        .Reply(ETX, Cat({{0x00, 0x70, 0x70, 0x01, 0x05, 0, 0, 0, 0}, Words({7}), {1, 2, 3, 4}}))
        .Closing();
    uint8_t body[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    S5BlockRecord block{};
    block.lengthWords = 6;  // room for 2 body bytes
    block.body = body;
    EXPECT_EQ(ReadBlock(r, &block, TARN5_DB, 5, 1), 0);
    EXPECT_EQ(+r.status, kErrUnexpected);
    EXPECT_EQ(Bytes(body, body + 4), (Bytes{0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(link.RulesLeft(), 0u);
}

TEST_F(Functions, AbsentBlockReports0020AndClosesTheFunction) {
    plc.Accept(0x1A).Reply(ETX, {0x07}).Closing();
    S5BlockRecord header{};
    uint16_t address = 0xFFFF;
    EXPECT_EQ(BlockInfo(r, &header, TARN5_PB, 9, &address), 0);
    EXPECT_EQ(+r.status, kErrNoBlock);
    EXPECT_EQ(+r.plcError, 0x07);
    EXPECT_EQ(address, 0);
    EXPECT_EQ(link.RulesLeft(), 0u);
}

void ScriptCreate(FakeLink& link, ScriptedPlc& plc, uint8_t answer) {
    plc.Accept(0x08);
    link.OnWrite({DLE, ETX}, {DLE, ACK, STX});
    link.OnWrite({DLE, ACK}, {answer, DLE, ETX});
}

TEST_F(Functions, CreateBlockGoldenTelegrams) {
    ScriptCreate(link, plc, 0x09);
    link.OnWrite({DLE, ACK}, {});
    link.OnWrite({STX}, {DLE, ACK});
    plc.Close(EOT);
    uint8_t body[4] = {0x10, 0x20, 0x30, 0x40};
    S5BlockRecord block{{0x70, 0x70}, 0x01, 0x10, {0, 0, 0, 0}, 7, body};
    ASSERT_EQ(CreateBlock(r, &block, 1), 1);
    const Bytes expected = Cat({RequestBytes(0x08),
                                {0x01, 0x10, 0x10, 0x00, 0x07, DLE, ETX},
                                {DLE, ACK},
                                {DLE, ACK},
                                {STX, 0x00, 0x70, 0x70, 0x01, 0x10, 0x10, 0, 0, 0, 0},
                                {0x00, 0x07, 0x10, 0x10, 0x20, 0x30, 0x40, DLE, EOT},
                                {DLE, ACK, DLE, ACK}});
    EXPECT_EQ(link.Written(), expected);
}

TEST_F(Functions, CreateBlockWithoutRoomReports0008) {
    ScriptCreate(link, plc, 0x0A);
    plc.Closing();
    uint8_t body[4] = {};
    S5BlockRecord block{{0x70, 0x70}, 0x01, 0x03, {0, 0, 0, 0}, 7, body};
    EXPECT_EQ(CreateBlock(r, &block, 1), 0);
    EXPECT_EQ(+r.status, kErrRefused);
    EXPECT_EQ(+r.plcError, 0x0A);
    EXPECT_EQ(link.RulesLeft(), 0u);
}

// A block of 2000 words whose closing telegram comes eight (virtual) seconds after the data: beyond the
// response time-out of 81 ticks, within the (2000 / 128 * 250 + 2000 * 4) / 55 = 213 ticks that the LAN
// library allows for storing it.
int32_t CreateWithLateClosing(FakeLink& link, ScriptedPlc& plc, ConnectionRecord& r, Variant variant,
                              uint16_t port) {
    LibrarySettings().variant = variant;
    r.port = port;
    const uint16_t length = 2000;
    std::vector<uint8_t> body(length * 2 - 10, 0x01);
    S5BlockRecord block{{0x70, 0x70}, 0x01, 0x03, {0, 0, 0, 0}, length, body.data()};
    ScriptCreate(link, plc, 0x09);
    link.OnWrite({DLE, ACK}, {});
    link.OnWrite({STX}, {DLE, ACK});
    link.OnWriteChunks({DLE, EOT}, {{{DLE, ACK}, 0}, {{STX}, 8000}});
    link.OnWrite({DLE, ACK}, {0x12, DLE, ETX});
    link.OnWrite({DLE, ACK}, {});
    const int32_t result = CreateBlock(r, &block, 1);
    EXPECT_EQ(SetTimeOut(-1), 81);  // restored either way
    return result;
}

TEST_F(Functions, CreateBlockOverTheLanAdapterWaitsLongerForTheClosing) {
    EXPECT_EQ(CreateWithLateClosing(link, plc, r, Variant::Lan, 128), 1) << std::hex << r.status;
}

TEST_F(Functions, CreateBlockOnASerialLineOfTheLanLibraryKeepsTheTimeOut) {
    EXPECT_EQ(CreateWithLateClosing(link, plc, r, Variant::Lan, 4), 0);
    EXPECT_EQ(+r.status, kErrNoByte);
}

TEST_F(Functions, CreateBlockOfTheSerialLibraryNeverRaisesTheTimeOut) {
    EXPECT_EQ(CreateWithLateClosing(link, plc, r, Variant::Serial, 128), 0);
    EXPECT_EQ(+r.status, kErrNoByte);
}

// Operand words of a PLC with identification 0xD10A go as two one-byte writes each, the high byte to the
// even byte; peripheral words and byte writes keep the plain form.
TEST_F(Functions, WordWritesOfIdentificationD10AGoAsSingleBytes) {
    std::vector<uint16_t> params = WordParams();
    params[19] = 0xD10A;  // class 3: bases in units of 16, addresses of 32 bits
    Describe(r, params);
    for (int i = 0; i < 4; ++i)
        plc.Accept(0x03).Close(EOT);
    const uint16_t words[2] = {0x1234, 0xAB10};
    ASSERT_EQ(WriteArea(r, Area::Flags, Unit::Word, 1, 2, reinterpret_cast<const uint8_t*>(words)), 1)
        << std::hex << r.status;
    Bytes expected;
    const std::pair<uint16_t, Bytes> writes[] = {
        {0x3002, {0x00, 0x12}}, {0x3003, {0x00, 0x34}}, {0x3004, {0x00, 0xAB}}, {0x3005, {0x00, DLE, DLE}}};
    for (const auto& [low, data] : writes)
        expected = Cat({expected,
                        RequestBytes(0x03),
                        Words({0x000F, low, 0x000F, low}),
                        data,
                        {DLE, EOT, DLE, ACK, DLE, ACK}});
    EXPECT_EQ(link.Written(), expected);
    EXPECT_EQ(link.RulesLeft(), 0u);

    link.TakeWritten();
    plc.Accept(0x03).Close(EOT);
    ASSERT_EQ(WriteArea(r, Area::PeripheralInputs, Unit::Word, 0, 2, reinterpret_cast<const uint8_t*>(words)),
              1);
    plc.Accept(0x03).Close(EOT);
    const uint8_t bytes[2] = {0x01, 0x02};
    ASSERT_EQ(WriteArea(r, Area::Flags, Unit::Byte, 4, 2, bytes), 1);
    const Bytes spacedWords{0x00, 0x12, 0x00, 0x34, 0x00, 0xAB, 0x00, DLE, DLE};
    EXPECT_EQ(link.Written(), Cat({RequestBytes(0x03),
                                   Words({0x000F, 0x0000, 0x000F, 0x0003}),
                                   spacedWords,
                                   {DLE, EOT, DLE, ACK, DLE, ACK},
                                   RequestBytes(0x03),
                                   Words({0x000F, 0x3004, 0x000F, 0x3005}),
                                   {0x00, 0x01, 0x00, 0x02},
                                   {DLE, EOT, DLE, ACK, DLE, ACK}}));
}

TEST_F(Functions, DeleteTestsTheConnectionFirst) {
    plc.SystemParameters(ByteParams());
    plc.Accept(0x09).Reply(EOT, {0x12});
    link.OnWrite({DLE, ACK}, {});
    ASSERT_EQ(DeleteBlock(r, TARN5_FB, 3), 1);
    EXPECT_EQ(link.Written()[1], 0x18);
    EXPECT_TRUE(Contains(link.Written(), {0x09, DLE, ACK, DLE, ACK, 0x08, 0x03, DLE, EOT}));
}

TEST_F(Functions, CompressWaitsLongForTheClosingTelegram) {
    plc.Accept(0x07);
    // Ten minutes of (virtual) compression before the closing telegram starts.
    link.OnWriteChunks({DLE, EOT}, {{{DLE, ACK}, 0}, {{STX}, 600'000}});
    link.OnWrite({DLE, ACK}, {0x12, DLE, ETX});
    link.OnWrite({DLE, ACK}, {});
    const auto before = link.NowMs();
    ASSERT_EQ(Compress(r), 1) << r.status;
    EXPECT_GE(link.NowMs() - before, 600'000u);
    EXPECT_EQ(SetTimeOut(-1), 81);  // restored
}

TEST_F(Functions, ReadAddressSplitsIntoChunksOf512Bytes) {
    const uint16_t start = 0x1000;
    for (int chunk : {512, 88}) {
        plc.Accept(0x04)
            .Reply(EOT, Cat({{0x00}, Words({0, 0}), Bytes(static_cast<size_t>(chunk), 0x01)}))
            .Closing();
    }
    std::vector<uint16_t> words(300, 0);
    ASSERT_EQ(ReadAddress(r, start, reinterpret_cast<uint8_t*>(words.data()), 2, 300), 1) << r.status;
    EXPECT_TRUE(Contains(link.Written(), Words({0x1000, 0x11FF})));
    EXPECT_TRUE(Contains(link.Written(), Words({0x1200, 0x1257})));
    EXPECT_EQ(words[299], 0x0101);
}

TEST_F(Functions, ReadAddressRefusedRangeReports0040) {
    plc.Accept(0x04).Reply(EOT, Cat({{0x00}, Words({0x1000, 0x1003})})).Closing();
    uint8_t data[4];
    EXPECT_EQ(ReadAddress(r, 0x1000, data, 1, 4), 0);
    EXPECT_EQ(+r.status, kErrRange);
    EXPECT_EQ(ReadAddress(r, 0x1000, data, 3, 4), 0);  // no such unit
}

TEST_F(Functions, WriteAddressSplitsBytesInto256AndRest) {
    for (int i = 0; i < 2; ++i)
        plc.Accept(0x03).Close(EOT);
    std::vector<uint8_t> data(300, 0x11);
    ASSERT_EQ(WriteAddress(r, 0x2000, data.data(), 1, 300), 1) << r.status;
    const Bytes& w = link.Written();
    EXPECT_TRUE(Contains(w, Cat({RequestBytes(0x03), Words({0x2000}), {0x11}})));
    EXPECT_TRUE(Contains(w, Cat({RequestBytes(0x03), Words({0x2100}), {0x11}})));
    EXPECT_EQ(std::count(w.begin(), w.end(), 0x11), 300);
}

TEST_F(Functions, WordAddressedPlcRefusesByteWrites) {
    Describe(r, WordParams());
    uint8_t data[2] = {};
    EXPECT_EQ(WriteAddress(r, 0x2000, data, 1, 2), 0);
    EXPECT_TRUE(link.Written().empty());
}

TEST_F(Functions, DataBlockRangeEndsAtTheBlock) {
    BlockInfoReply(0x3000, 10);  // five data words
    plc.Accept(0x04).Reply(EOT, Cat({{0x00}, Words({0, 0, 1, 2, 3})})).Closing();
    uint16_t words[4] = {};
    ASSERT_EQ(ReadBlockWords(r, TARN5_DB, 2, 2, 3, reinterpret_cast<uint8_t*>(words)), 1) << r.status;
    EXPECT_TRUE(Contains(link.Written(), Words({0x3004, 0x3009})));  // byte-addressed: start word 2 at +4
    EXPECT_EQ(words[2], 3);
    BlockInfoReply(0x3000, 10);
    EXPECT_EQ(ReadBlockWords(r, TARN5_DB, 2, 2, 4, reinterpret_cast<uint8_t*>(words)), 0);
    EXPECT_EQ(+r.status, kErrBeyondBlock);
}

TEST_F(Functions, FlagsWithUnknownBaseReadTheDescriptionFirst) {
    r.area.s5.systemParams[4] = 0;
    plc.SystemParameters(ByteParams());
    plc.Accept(0x04).Reply(EOT, Cat({{0x00}, Words({0, 0, 0xABCD})})).Closing();
    uint16_t word = 0;
    ASSERT_EQ(ReadArea(r, Area::Flags, 1, 1, reinterpret_cast<uint8_t*>(&word)), 1) << r.status;
    EXPECT_EQ(word, 0xABCD);
    EXPECT_TRUE(Contains(link.Written(), Words({0xF302, 0xF303})));
}

TEST_F(Functions, SystemWordsWithoutBaseReport0200) {
    plc.SystemParameters(ByteParams());
    uint16_t word = 0;
    EXPECT_EQ(ReadArea(r, Area::SystemWords, 0, 1, reinterpret_cast<uint8_t*>(&word)), 0);
    EXPECT_EQ(+r.status, kErrAbsent);
}

TEST_F(Functions, StopChangesOnlyTheStopBit) {
    plc.Accept(0x04).Reply(EOT, Cat({{0x00}, Words({0, 0, 0x1234, 1, 2, 3})})).Closing();
    plc.Accept(0x03).Close(EOT);
    ASSERT_EQ(Stop(r), 1) << r.status;
    EXPECT_TRUE(Contains(link.Written(), Words({0xF60C, 0xF613})));
    EXPECT_TRUE(Contains(link.Written(), Cat({Words({0xF60C, 0x9234}), {DLE, EOT}})));
}

TEST_F(Functions, StartStopExModeZeroEndsWithoutClosingTelegram) {
    plc.Accept(0x1E).Reply(EOT, {0x12});
    link.OnWrite({DLE, ACK}, {});
    ASSERT_EQ(StartStopEx(r, 0), 1);
    EXPECT_EQ(StartStopEx(r, 4), 0);
    plc.Accept(0x1E).Reply(EOT, {0x33}).Closing();
    EXPECT_EQ(StartStopEx(r, 1), 0);
    EXPECT_EQ(+r.status, kErrRefused);
    EXPECT_EQ(+r.plcError, 0x33);
}

TEST_F(Functions, BlockStackDeliversItsWords) {
    plc.Accept(0x1C).Reply(EOT, Cat({{0x00}, Words({0x1111, 0x2222})})).Closing();
    uint16_t words[TARN5_BSTACK_WORDS] = {};
    int16_t count = 0;
    ASSERT_EQ(BlockStack(r, &count, reinterpret_cast<uint8_t*>(words)), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(words[1], 0x2222);
}

TEST_F(Functions, InterruptStackOfEightEntriesFillsAllRecordsAndFindsTheBlocks) {
    plc.Accept(0x04).Reply(EOT, Cat({{0x00}, Words({0, 0, 0xAAAA, 0xBBBB, 0xCCCC})})).Closing();
    Bytes stack = Cat({{0x00}, Words({0x0042})});
    for (int e = 0; e < 8; ++e) {
        stack = Cat({stack,
                     Words({1, 2}),
                     {1, 2, 3, 4, 5, 6, 7, 0xFF},
                     Words({0, 0, static_cast<uint16_t>(0x2005 + e), 0, 0, 0})});
    }
    plc.Accept(0x1D).Reply(EOT, stack).Closing();
    // Directories of PB, FB, OB, FX (this PLC has no SB): PB 1 at 0x2000, FB 0 at 0x2004.
    plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({0, 0x2000})})).Closing();
    plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({0x2004})})).Closing();
    for (int t = 0; t < 2; ++t)
        plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({0})})).Closing();
    S5InterruptRecord records[TARN5_USTACK_RECORDS];
    int16_t count = 0;
    ASSERT_EQ(InterruptStack(r, records, &count), 1) << r.status;
    EXPECT_EQ(count, 8);
    EXPECT_EQ(+records[0].systemData[0], 0xAAAA);
    EXPECT_EQ(+records[0].replyWord, 0x0042);
    EXPECT_EQ(+records[7].entryWords[2], 0x200C);
    EXPECT_EQ(+records[7].entryBytes[7], 0x07);
    EXPECT_EQ(+records[0].typePosition, TARN5_FB);  // 0x2005 lies closest behind FB 0
    EXPECT_EQ(+records[0].blockNumber, 0);
    EXPECT_EQ(+records[0].relativeAddress, 1);
    EXPECT_EQ(link.RulesLeft(), 0u);
}

TEST_F(Functions, InitModeTwoOnlyTestsAndGivesUpAfterTheAttempts) {
    SetRepeat(1);
    EXPECT_EQ(Init(r, 2), 0);
    EXPECT_EQ(link.Opens(), 0);
    EXPECT_EQ(std::count(link.Written().begin(), link.Written().end(), STX), 2);
}

}  // namespace
}  // namespace vaultra::s5::testing
