// The AS511 exchange byte by byte on the scripted fake link, with telegrams written out by hand.
#include <gtest/gtest.h>

#include <cstring>

#include <vaultra/tarn5.h>

#include "drivers/s5/as511.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/settings.h"
#include "tests/drivers/link/link_test_support.h"
#include "tests/drivers/s5/script.h"

namespace vaultra::s5::testing {
namespace {

class As511 : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLibrarySettings();
        LibrarySettings().variant = Variant::Serial;
    }
    link::testing::FakeLinkScope fake;
    FakeLink& link = fake.link;
    ScriptedPlc plc{fake.link};
    ConnectionRecord r{};
};

TEST_F(As511, DataBytesAndWordsDoubleTheDle) {
    Line line(r);
    ASSERT_TRUE(line.SendData(0x10));
    ASSERT_TRUE(line.SendData(0x11));
    ASSERT_TRUE(line.SendWord(0x1010));
    ASSERT_TRUE(line.SendDlePair(ETX));
    EXPECT_EQ(link.Written(), (Bytes{0x10, 0x10, 0x11, 0x10, 0x10, 0x10, 0x10, 0x10, 0x03}));
}

TEST_F(As511, SpacedBlockPrecedesEveryByteWithZero) {
    Line line(r);
    const uint16_t words[1] = {0x1234};
    ASSERT_TRUE(line.SendSpacedBlock(reinterpret_cast<const uint8_t*>(words), Unit::Word, 1));
    EXPECT_EQ(link.Written(), (Bytes{0x00, 0x12, 0x00, 0x34}));
}

TEST_F(As511, BlockPauseFirstAfter246BytesThenEvery256) {
    std::vector<uint8_t> data(246 + 256 + 10, 0x55);
    Line line(r);
    const auto before = link.NowMs();
    ASSERT_TRUE(line.SendBlock(data.data(), Unit::Byte, 245));
    EXPECT_EQ(link.NowMs(), before);
    ASSERT_TRUE(line.SendBlock(data.data(), Unit::Byte, 246));
    EXPECT_EQ(link.NowMs(), before + 55);  // a pause of 5 ms sleeps one 55 ms step
    ASSERT_TRUE(line.SendBlock(data.data(), Unit::Byte, data.size()));
    EXPECT_EQ(link.NowMs(), before + 55 + 2 * 55);
    SetBlockPause(0);
    const auto quiet = link.NowMs();
    ASSERT_TRUE(line.SendBlock(data.data(), Unit::Byte, data.size()));
    EXPECT_EQ(link.NowMs(), quiet);
}

// The serial library marks every block pause in the line trace with its length; the LAN one does not.
TEST_F(As511, BlockPauseIsTracedOnlyByTheSerialLibrary) {
    link::testsupport::ScopedWorkingDirectory dir;
    SetBlockPause(7);
    std::vector<uint8_t> data(246, 0x55);
    for (const Variant variant : {Variant::Serial, Variant::Lan}) {
        LibrarySettings().variant = variant;
        ASSERT_EQ(link::ComOpenShared(0, 9600, 8, 'e', 2), 1);
        link::ComSetTraceEnabled(true);
        Line line(r);
        ASSERT_TRUE(line.SendBlock(data.data(), Unit::Byte, data.size()));
        link::ComSetTraceEnabled(false);
        link::ComRelease(0);
    }
    const std::string trace = link::testsupport::ReadFile(dir.File("RS232DMP.TXT"));
    const size_t pause = trace.find("?:[0055] 07 ");  // traced after its one 55 ms step
    ASSERT_NE(pause, std::string::npos) << trace;
    EXPECT_EQ(trace.find("?:", pause + 1), std::string::npos) << trace;  // one pause traced, not two
    EXPECT_EQ(trace.find("T:55 "), 1u);
}

TEST_F(As511, ReadDataUndoublesAndToleratesAReplyOneItemShort) {
    link.Deliver({0x10, 0x10, 0x22, 0x10, 0x03});
    Line line(r);
    uint8_t data[3] = {0xAA, 0xAA, 0xAA};
    ASSERT_TRUE(line.ReadData(data, Unit::Byte, 3));
    EXPECT_EQ(data[0], 0x10);
    EXPECT_EQ(data[1], 0x22);
    EXPECT_EQ(data[2], 0xAA);  // left as it was
    EXPECT_EQ(+r.status, 0);
    // The end mark went back to the ring: EndOfReply finds it and acknowledges.
    ASSERT_TRUE(line.EndOfReply());
    EXPECT_EQ(link.Written(), (Bytes{DLE, ACK}));
}

TEST_F(As511, ReadDataTwoItemsShortFails) {
    link.Deliver({0x01, 0x10, 0x03});
    Line line(r);
    uint8_t data[4] = {};
    EXPECT_FALSE(line.ReadData(data, Unit::Byte, 4));
    EXPECT_EQ(+r.status, kErrUnexpected);
    EXPECT_EQ(+r.plcError, ETX);
}

TEST_F(As511, WordsToEndStoreAtMostMaxAndKeepReading) {
    link.Deliver({0x12, 0x34, 0x10, 0x10, 0x01, 0x56, 0x78, 0x10, 0x03});
    Line line(r);
    uint16_t words[2] = {};
    EXPECT_EQ(line.ReadWordsToEnd(reinterpret_cast<uint8_t*>(words), 2), 2);  // what the buffer holds
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0x1001);
    EXPECT_EQ(link.Written(), (Bytes{DLE, ACK}));
    EXPECT_EQ(link.BytesLeft(), 0u);
}

TEST_F(As511, SystemParametersGoldenExchange) {
    auto params = ByteParams();
    params[20] = 0;  // reported as 0: byte-addressed
    params[3] = 0x1010;
    plc.SystemParameters(params);
    ASSERT_EQ(AGTest(r), 1);
    EXPECT_EQ(link.Written(), Cat({RequestBytes(0x18), {DLE, EOT}, ClosingBytes(), {DLE, ACK}}));
    EXPECT_EQ(+r.area.s5.systemParams[3], 0x1010);
    EXPECT_EQ(+r.area.s5.systemParams[20], 10);
    EXPECT_EQ(+r.status, 0);
}

TEST_F(As511, RefusedFunctionLeaves4000AndNoResynchronisation) {
    Describe(r, ByteParams());
    plc.Refuse(0x1B);
    uint16_t dir[256];
    EXPECT_EQ(ReadDirectory(r, TARN5_DB, dir, 256), 0);
    EXPECT_EQ(+r.status, kErrFunction);
    EXPECT_EQ(link.RulesLeft(), 0u);
    link.TakeWritten();
    // The next function goes straight to its request: no system-parameter request first.
    plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({0, 0x1234})})).Closing();
    ASSERT_EQ(ReadDirectory(r, TARN5_DB, dir, 256), 1);
    EXPECT_EQ(link.Written()[1], 0x1B);
    EXPECT_EQ(dir[1], 0x1234);
}

TEST_F(As511, SilentPlcMidFunctionLeavesTheLineUsable) {
    Describe(r, ByteParams());
    plc.Accept(0x1B);
    link.OnWrite({DLE, EOT}, {DLE, ACK, STX});
    link.OnWrite({DLE, ACK}, {0x00, 0x00});  // then silence
    uint16_t dir[256];
    const auto before = link.NowMs();
    EXPECT_EQ(ReadDirectory(r, TARN5_DB, dir, 256), 0);
    EXPECT_EQ(+r.status, kErrNoByte);
    EXPECT_LT(link.NowMs() - before, 10'000u);  // bounded
    // The next call re-synchronises with the connection test first, then works.
    plc.SystemParameters(ByteParams());
    plc.Accept(0x1B).Reply(EOT, Cat({{0x00}, Words({0x0100})})).Closing();
    ASSERT_EQ(ReadDirectory(r, TARN5_DB, dir, 256), 1);
    EXPECT_EQ(dir[0], 0x0100);
    EXPECT_EQ(+r.area.s5.recoveryState, 0xFF);  // first recovery only purged
}

TEST_F(As511, NakToATelegramAbortsAndTheNextCallRecovers) {
    Describe(r, ByteParams());
    link.OnWrite({STX}, {DLE, NAK});
    S5BlockRecord header{};
    EXPECT_EQ(BlockInfo(r, &header, TARN5_DB, 1, nullptr), 0);
    EXPECT_EQ(+r.status, kErrUnexpected);
    EXPECT_EQ(+r.plcError, NAK);
    const int flushes = link.Flushes();
    plc.SystemParameters(ByteParams());
    plc.Accept(0x1A).Reply(ETX,
                           Cat({{0x00}, Words({0x2000}), {0x70, 0x70, 0x01, 0x01, 0, 0, 0, 0}, Words({8})}));
    plc.Closing();
    uint16_t address = 0;
    ASSERT_EQ(BlockInfo(r, &header, TARN5_DB, 1, &address), 1);
    EXPECT_GT(link.Flushes(), flushes);
    EXPECT_EQ(address, 0x2000);
    EXPECT_EQ(+header.lengthWords, 8);
}

TEST_F(As511, SecondRecoveryInARowAlsoBreaksTheLine) {
    r.status = kErrNoByte;
    EXPECT_EQ(AGTest(r), 0);  // silent: recovery state set, only a purge
    EXPECT_EQ(link.Breaks(), 0);
    EXPECT_EQ(+r.area.s5.recoveryState, 0xFF);
    EXPECT_EQ(AGTest(r), 0);
    EXPECT_EQ(link.Breaks(), 1);
    EXPECT_EQ(+r.area.s5.recoveryState, 0);
}

TEST_F(As511, InitTriesRepeatCountTimesAndReleasesThePort) {
    EXPECT_EQ(SetRepeat(-1), 2);
    EXPECT_EQ(SetRepeat(4), 2);
    EXPECT_EQ(Init(r, 0), 0);
    size_t requests = 0;
    for (uint8_t b : link.Written())
        requests += b == STX ? 1 : 0;
    EXPECT_EQ(requests, 5u);
    EXPECT_EQ(+r.connected, 0);
    EXPECT_FALSE(link.IsOpen(0));
}

TEST_F(As511, InitOpensEvenParityTwoStopBitsAndTestsTheConnection) {
    plc.SystemParameters(WordParams());
    ASSERT_EQ(Init(r, 0), 1);
    EXPECT_EQ(+r.connected, 1);
    EXPECT_EQ(+r.area.s5.systemParams[20], 5);
    EXPECT_EQ(Exit(r), 1);
    EXPECT_EQ(Exit(r), 0);  // not connected any more: no port touched
    link.FailOpen(true);
    EXPECT_EQ(Init(r, 0), 0);
    EXPECT_EQ(+r.status, kErrInitOpen);
}

TEST_F(As511, LineOnlyModeExchangesNothing) {
    ASSERT_EQ(Init(r, 1), 1);
    EXPECT_TRUE(link.Written().empty());
    EXPECT_EQ(+r.connected, 1);
}

TEST_F(As511, PgBusSelectSendsTheStationAndSkipsAReselect) {
    r.plcAddress = 3;
    link.OnWrite({0x83}, {0x03});
    ASSERT_EQ(InitPGBus(r), 1);
    EXPECT_EQ(link.PulseBreaks(), 1);
    EXPECT_EQ(link.Written(), (Bytes{0x83}));
    Line line(r);
    ASSERT_TRUE(line.PgBusSelect());  // same station, flag 0x2: nothing sent
    EXPECT_EQ(link.Written(), (Bytes{0x83}));
    SetFlags(SetFlags(-1));  // setting the same flags still forgets the station
    link.OnWrite({0x83}, {0x03});
    ASSERT_TRUE(line.PgBusSelect());
    EXPECT_EQ(link.Written(), (Bytes{0x83, 0x83}));
}

TEST_F(As511, PgBusSelectRefusedOrUnanswered) {
    r.plcAddress = 5;
    link.OnWrite({0x85}, {DLE, NAK});
    Line line(r);
    EXPECT_FALSE(line.PgBusSelect());
    EXPECT_EQ(+r.status, kErrSelectRefused);
    EXPECT_FALSE(line.PgBusSelect());
    EXPECT_EQ(+r.status, kErrSelectSilent);
    SetRepeat(1);
    EXPECT_EQ(InitPGBus(r), 0);
    EXPECT_FALSE(link.IsOpen(0));
}

}  // namespace
}  // namespace vaultra::s5::testing
