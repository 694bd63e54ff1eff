// The restore's decisions, the start/stop identification tests and the operand accesses through the
// driver's word functions.
#include <gtest/gtest.h>

#include <map>

#include "app/operand_access.h"
#include "app/plc_commands.h"
#include "app/s7_restore.h"

namespace vaultra::app {
namespace {

TEST(RestoreDecision, RefusalsFollowTheTableAndThePlcsErrorWords) {
    EXPECT_EQ(DecideRefusal(8, 4, false), RefusalAction::CompressAndRetry);
    EXPECT_EQ(DecideRefusal(8, 4, true), RefusalAction::StopNotTransferable);
    EXPECT_EQ(DecideRefusal(8, 5, false), RefusalAction::Skip);
    EXPECT_EQ(DecideRefusal(8, 6, false), RefusalAction::Skip);
    EXPECT_EQ(DecideRefusal(8, 7, false), RefusalAction::StopNotTransferable);
    EXPECT_EQ(DecideRefusal(0x28, 0x8104, false), RefusalAction::Skip);
    EXPECT_EQ(DecideRefusal(0x200, 0, false), RefusalAction::StopBusy);
    EXPECT_EQ(DecideRefusal(0x4000, 0xD241, false), RefusalAction::StopKeySwitch);
    EXPECT_EQ(DecideRefusal(1, 0, false), RefusalAction::StopUnreachable);
    EXPECT_EQ(DecideRefusal(0x8000, 0, false), RefusalAction::StopUnreachable);
    EXPECT_EQ(DecideRefusal(4, 0x80, false), RefusalAction::StopUnreachable);
    // The driver reports what the PLC said: the resources class is the full memory, 8404 is busy.
    EXPECT_EQ(DecideRefusal(0x4000, 0x8304, false), RefusalAction::CompressAndRetry);
    EXPECT_EQ(DecideRefusal(0x4000, 0x8305, false), RefusalAction::Skip);
    EXPECT_EQ(DecideRefusal(0x4000, 0x8404, false), RefusalAction::StopBusy);
}

TEST(RestoreDecision, ProjectFileIsTheFolderNamedAfterTheFile) {
    EXPECT_EQ(RestoreProjectFile("/b/LINE1.S7P"), "/b/LINE1/LINE1.S7P");
    EXPECT_EQ(RestoreProjectFile("/b/line1.s7p"), "/b/line1/line1.s7p");
    EXPECT_EQ(RestoreProjectFile("/b/LINE1_A12.S7P"), "/b/LINE1_A12/LINE1_A12.S7P");
    EXPECT_EQ(RestoreProjectFile("/b/NOEXT"), "/b/NOEXT/NOEXT");
}

TEST(StartStopChoice, IdentificationWordsChooseTheExtendedCall) {
    EXPECT_TRUE(UsesExtendedStartStop(0, 10, 0));  // what an S7 connect leaves
    EXPECT_FALSE(UsesExtendedStartStop(255, 5, 0));
    EXPECT_TRUE(UsesExtendedStartStop(4, 5, 0));
    EXPECT_FALSE(UsesExtendedStartStop(6, 5, 0));
    EXPECT_FALSE(UsesExtendedStartStop(1, 10, 0));
    EXPECT_TRUE(UsesExtendedStartStop(9, 10, 0));
    EXPECT_TRUE(UsesExtendedStartStop(262, 10, 0));  // low byte 6, test B
    EXPECT_TRUE(UsesExtendedStartStop(295, 10, 514));
    EXPECT_TRUE(UsesExtendedStartStop(295, 10, 0));  // low byte 0x27: test A
}

// A PLC memory of words behind the word functions: calls are logged as "RdMW 5".
struct WordPlc {
    static inline std::map<std::string, uint16_t> words;
    static inline std::vector<std::string> calls;

    static int32_t Read(const char* name, int32_t start, void* buffer) {
        calls.push_back(std::string(name) + " " + std::to_string(start));
        *static_cast<uint16_t*>(buffer) = words[std::string(name).substr(2) + std::to_string(start)];
        return 1;
    }
    static int32_t Write(const char* name, int32_t start, void* buffer) {
        calls.push_back(std::string(name) + " " + std::to_string(start));
        words[std::string(name).substr(2) + std::to_string(start)] = *static_cast<uint16_t*>(buffer);
        return 1;
    }
    static int32_t RdMW(ConnectionRecord*, int32_t s, int32_t, void* b) { return Read("RdMW", s, b); }
    static int32_t WrMW(ConnectionRecord*, int32_t s, int32_t, void* b) { return Write("WrMW", s, b); }
    static int32_t RdEW(ConnectionRecord*, int32_t s, int32_t, void* b) { return Read("RdEW", s, b); }
    static int32_t RdDB(ConnectionRecord*, int32_t db, int32_t s, int32_t, void* b) {
        return Read(("RdDB" + std::to_string(db) + ".").c_str(), s, b);
    }

    static S7Table Table() {
        words.clear();
        calls.clear();
        S7Table t;
        t.Set(S7Slot::RdMW, reinterpret_cast<void*>(&RdMW));
        t.Set(S7Slot::WrMW, reinterpret_cast<void*>(&WrMW));
        t.Set(S7Slot::RdEW, reinterpret_cast<void*>(&RdEW));
        t.Set(S7Slot::RdDB, reinterpret_cast<void*>(&RdDB));
        return t;
    }
};

TEST(OperandAccess, BitsOfEvenBytesAreTheHighByteOfTheWord) {
    const S7Table t = WordPlc::Table();
    ConnectionRecord record{};
    WordPlc::words["MW5"] = 0x0800;  // M10.3
    int value = 0;
    ASSERT_EQ(ReadOperandBit(t, record, "M10.3", value), 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(WordPlc::calls.back(), "RdMW 5");
    WordPlc::words["EW5"] = 0x0001;  // E11.0
    ASSERT_EQ(ReadOperandBit(t, record, "E11.0", value), 1);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(ReadOperandBit(t, record, "DB5.DBX3.7", value), 1);
    EXPECT_EQ(WordPlc::calls.back(), "RdDB5. 1");
    WordPlc::calls.clear();
    EXPECT_EQ(ReadOperandBit(t, record, "X1.0", value), 0);
    EXPECT_TRUE(WordPlc::calls.empty());
}

TEST(OperandAccess, WritingABitKeepsTheOtherFifteen) {
    const S7Table t = WordPlc::Table();
    ConnectionRecord record{};
    WordPlc::words["MW5"] = 0x0F0F;
    ASSERT_EQ(WriteOperandBit(t, record, "M10.3", 0), 1);
    EXPECT_EQ(WordPlc::words["MW5"], 0x070F);
    ASSERT_EQ(WriteOperandBit(t, record, "M11.7", 1), 1);
    EXPECT_EQ(WordPlc::words["MW5"], 0x078F);
}

TEST(OperandAccess, StringAtAnOddByteTakesItsFirstCharacterFromTheHeader) {
    const S7Table t = WordPlc::Table();
    ConnectionRecord record{};
    // DB10.DBB3: max at byte 3, length 5 at byte 4, "HELLO" from byte 5
    WordPlc::words["DB10.1"] = 0x0020;
    WordPlc::words["DB10.2"] = 0x0548;  // length 5, 'H'
    WordPlc::words["DB10.3"] = 0x454C;  // "EL"
    WordPlc::words["DB10.4"] = 0x4C4F;  // "LO"
    std::string text;
    ASSERT_EQ(ReadS7String(t, record, "DB10.DBB3", text), 1);
    EXPECT_EQ(text, "HELLO");
    EXPECT_EQ(WordPlc::calls, (std::vector<std::string>{"RdDB10. 1", "RdDB10. 2", "RdDB10. 3", "RdDB10. 4"}));
    WordPlc::words["DB10.2"] = 0x0000;  // DB10.DBB4: length 0
    EXPECT_EQ(ReadS7String(t, record, "DB10.DBB4", text), 1);
    EXPECT_EQ(text, "");
}

TEST(OperandAccess, LengthBeyond254IsCut) {
    const S7Table t = WordPlc::Table();
    ConnectionRecord record{};
    WordPlc::words["DB1.0"] = 0xFFFF;  // max 255, length 255
    std::string text;
    ASSERT_EQ(ReadS7String(t, record, "DB1.DBB0", text), 1);
    EXPECT_EQ(text.size(), 254u);
}

}  // namespace
}  // namespace vaultra::app
