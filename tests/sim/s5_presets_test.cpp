// The operand presets of plcsim s5, checked against the PLC's memory layout: area bytes one per address
// unit (the low half of a memory word on word-addressed PLCs), data block bytes in their data words with
// the even byte in the high half.
#include <gtest/gtest.h>

#include "sim/s5/presets.h"

namespace vaultra::sim::s5 {
namespace {

Plc MakePlc(const std::string& cpu, const Log& log) {
    PlcOptions options;
    options.cpu = *FindCpu(cpu);
    return Plc(options, log);
}

TEST(S5Presets, BitsLandInTheAreaByteOfTheirAddressUnit) {
    const Log log;
    for (const char* cpu : {"byte16", "word16"}) {
        Plc plc = MakePlc(cpu, log);
        const CpuModel& m = plc.Cpu();
        EXPECT_FALSE(ApplyBitPreset(plc, "M10.3=1")) << cpu;
        EXPECT_FALSE(ApplyBitPreset(plc, "I11.0=1")) << cpu;
        EXPECT_FALSE(ApplyBitPreset(plc, "Q0.7=1")) << cpu;
        const std::size_t low = m.wordAddressed ? 1 : 0;
        EXPECT_EQ(plc.ReadUnits(m.flags + 10, 1)[low], 0x08) << cpu;
        EXPECT_EQ(plc.ReadUnits(m.inputs + 11, 1)[low], 0x01) << cpu;
        EXPECT_EQ(plc.ReadUnits(m.outputs, 1)[low], 0x80) << cpu;
        if (m.wordAddressed) {
            EXPECT_EQ(plc.ReadUnits(m.flags + 10, 1)[0], 0) << "the high half stays clear";
        }
        // Clearing keeps the other bits of the byte.
        EXPECT_FALSE(ApplyBitPreset(plc, "M10.4=1"));
        EXPECT_FALSE(ApplyBitPreset(plc, "F10.3=0"));
        EXPECT_EQ(plc.ReadUnits(m.flags + 10, 1)[low], 0x10) << cpu;
    }
}

TEST(S5Presets, DataBlockBitsAndStringsUseTheDataWordsOfTheBlock) {
    const Log log;
    for (const char* cpu : {"byte16", "word16"}) {
        Plc plc = MakePlc(cpu, log);
        // The data block does not exist yet: a bit cannot be set, a string creates it.
        EXPECT_TRUE(ApplyBitPreset(plc, "DB100.DBX2.1=1")) << cpu;
        EXPECT_FALSE(ApplyStringPreset(plc, "DB100.DBB5=A12")) << cpu;
        EXPECT_FALSE(ApplyBitPreset(plc, "DB100.DBX2.1=1")) << cpu;
        const Plc::Entry* db = plc.Find(0x01, 100);
        ASSERT_NE(db, nullptr);
        // Bytes 2..9 are data words 1..4 in memory order: bit 1 of byte 2, then max length 254 at byte 5,
        // current length 3 at byte 6, "A12" at bytes 7..9.
        const Bytes body = plc.Body(*db);
        EXPECT_EQ(Bytes(body.begin() + 2, body.begin() + 10),
                  (Bytes{0x02, 0x00, 0x00, 0xFE, 0x03, 'A', '1', '2'}))
            << cpu;
    }
}

TEST(S5Presets, BadTextsAndMissingAddressesAreRefused) {
    const Log log;
    Plc plc = MakePlc("byte16", log);
    for (const char* bad :
         {"M10.0", "M10.8=1", "X1.0=1", "M10.0=2", "M256.0=1", "E128.0=1", "DB5.DBX0.0=1"}) {
        EXPECT_TRUE(ApplyBitPreset(plc, bad)) << bad;
    }
    for (const char* bad : {"DB0.DBB0=A", "DB256.DBB0=A", "M10=A", "DB5.DBB0"}) {
        EXPECT_TRUE(ApplyStringPreset(plc, bad)) << bad;
    }
    EXPECT_TRUE(ApplyStringPreset(plc, "DB5.DBB0=" + std::string(255, 'x')));
    // A string that runs past the end of an existing data block is not written at all.
    ASSERT_FALSE(ApplyStringPreset(plc, "DB5.DBB0=A"));
    const Bytes before = plc.Body(*plc.Find(0x01, 5));
    EXPECT_TRUE(ApplyStringPreset(plc, "DB5.DBB" + std::to_string(before.size() - 4) + "=ABCDEF"));
    EXPECT_EQ(plc.Body(*plc.Find(0x01, 5)), before);
}

}  // namespace
}  // namespace vaultra::sim::s5
