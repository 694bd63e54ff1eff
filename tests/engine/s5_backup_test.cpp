// The S5 backup into a program file and the S5 restore from it, through the real S5 libraries and
// libQRF.so against plcsim s5 on the pseudo-terminal ("S5 Direkt") and the LAN adapter ("S5-LAN").
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "app/s5_backup.h"
#include "app/s5_program_file.h"
#include "app/s5_restore.h"
#include "tests/engine/s5_test_support.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using s5_test::Blocks;
using s5_test::Bytes;
using s5_test::Interface;
using s5_test::ReadBytes;
using s5_test::S5Station;
using s5_test::S5Trace;

// Injected QRF failures: the nth block write, or the compaction.
struct QrfFault {
    static inline SchrBstDatenFn write = nullptr;
    static inline int writesLeft = 0;
    static int Write(S5File* f, const BlockKey* k, const uint8_t* d) {
        return writesLeft-- > 0 ? write(f, k, d) : 0;
    }
    static int Compact(const char*) { return 0; }
};

class S5E2E : public ::testing::TestWithParam<Interface> {
protected:
    S5E2E() : s(GetParam()) {
        EXPECT_EQ(s.drivers->BindQrf(s.entry), 1);
        backup = std::make_unique<S5Backup>(*s.drivers, s.station, s.ui);
        restore = std::make_unique<S5Restore>(*s.drivers, s.station, s.ui);
    }

    int Backup() { return backup->Run(s.entry); }

    Blocks PlcBlocks() { return s5_test::PlcBlocks(s); }
    Blocks FileBlocks(const fs::path& path) { return s5_test::FileBlocks(s, path); }
    static Blocks Without(Blocks blocks, const std::vector<std::string>& names) {
        return s5_test::Without(std::move(blocks), names);
    }

    void ExpectFailedWith(const std::string& text) {
        EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
        EXPECT_FALSE(s.entry.Has(flag::kLastSucceeded));
        EXPECT_TRUE(s.ui.SawStatus(text)) << ::testing::PrintToString(s.ui.StatusTexts());
        EXPECT_EQ(s.station.record.connected, 0);
        EXPECT_FALSE(fs::exists(s.FilePath().string() + ".vaultra-new"));
    }

    S5Station s;
    std::unique_ptr<S5Backup> backup;
    std::unique_ptr<S5Restore> restore;
};

TEST_P(S5E2E, ProgramFileHoldsEveryBlockByteForByteAndASecondBackupUpdatesIt) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    // The leftover copy of a run that was killed is not taken for anything.
    fs::create_directory(s.FilePath().string() + ".vaultra-new");
    std::ofstream(s.FilePath().string() + ".vaultra-new/PRESSE.S5D") << "half written";
    ASSERT_EQ(Backup(), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
    EXPECT_EQ(s.ui.StatusTexts().front(), "AG initialisieren...");
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG gesichert.");
    EXPECT_TRUE(s.ui.SawStatus("Presse: PB  000 lesen"));
    const Blocks plc = PlcBlocks();
    ASSERT_GT(plc.size(), 20u);
    EXPECT_EQ(FileBlocks(s.FilePath()), plc);
    EXPECT_EQ(backup->LastOutcome().blocks, plc.size());
    EXPECT_EQ(backup->LastOutcome().path, s.FilePath().string());
    EXPECT_EQ(S5Trace::calls.back(), "Exit=1");
    EXPECT_FALSE(fs::exists(s.FilePath().string() + ".vaultra-new"));

    // Second run, only the data blocks, from a PLC whose program has changed: they are replaced, the
    // other blocks of the file stay.
    ASSERT_TRUE(s.StartSim({"--demo-blocks", "14"}));
    const Blocks smaller = PlcBlocks();
    s.entry.blockList = "DB";
    s.entry.Set(flag::kOnlyListed, true);
    ASSERT_EQ(Backup(), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    Blocks expected = plc;
    for (const auto& [name, bytes] : smaller) {
        if (name.rfind("DB", 0) == 0) {
            expected[name] = bytes;
        }
    }
    EXPECT_EQ(FileBlocks(s.FilePath()), expected);
}

TEST_P(S5E2E, BlockSelectionIsRespectedAndDbZeroNeverRead) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    s.entry.blockList = "DB 2, FB, PB 1";
    ASSERT_EQ(Backup(), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    Blocks expected = PlcBlocks();
    for (auto it = expected.begin(); it != expected.end();) {
        const bool skipped = it->first == "DB2" || it->first == "PB1" || it->first.rfind("FB", 0) == 0;
        it = skipped ? expected.erase(it) : std::next(it);
    }
    EXPECT_EQ(FileBlocks(s.FilePath()), expected);
    EXPECT_FALSE(s.ui.SawStatus("Presse: DB  000 lesen"));
    EXPECT_FALSE(s.ui.SawStatus("Presse: FB  000 lesen"));
}

TEST_P(S5E2E, UnreachablePlcAndUncreatableFileFailWithTheirTextsThenARunSucceeds) {
    // No PLC behind the line.
    setenv(("VAULTRA_COM" + std::to_string(s5_test::kComPort)).c_str(), (s.dir.path() / "none").c_str(), 1);
    setenv("VAULTRA_LAN_RAW_PORT", "1", 1);
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("AG nicht ansprechbar.");
    EXPECT_FALSE(fs::exists(s.FilePath()));

    // A file in a folder that does not exist: the PLC stopped for the backup is started again.
    ASSERT_TRUE(s.StartSim({"--demo"}));
    s.station.settings.stopPlc = 1;
    s.entry.fileName = "missing/PRESSE.S5D";
    S5Trace::calls.clear();
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("Datei konnte nicht geöffnet/erstellt werden.");
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "AGStop=1", "AGStart=1", "Exit=1"}));

    s.entry.fileName = "PRESSE.S5D";
    ASSERT_EQ(Backup(), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
    EXPECT_FALSE(s.entry.Has(flag::kLastFailed));
}

TEST_P(S5E2E, FailuresAfterTheFileWasOpenedLeaveTheEarlierFileAsItWas) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    ASSERT_EQ(Backup(), 1);
    const Bytes good = ReadBytes(s.FilePath());

    // A block write that fails part-way.
    QrfFault::write = reinterpret_cast<SchrBstDatenFn>(s.drivers->Qrf().Get("SchrBstDaten"));
    QrfFault::writesLeft = 5;
    s.drivers->Qrf().Set("SchrBstDaten", reinterpret_cast<void*>(&QrfFault::Write));
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("Baustein nicht in die ausgewählte Datei schreibbar.");
    EXPECT_EQ(ReadBytes(s.FilePath()), good);
    s.drivers->Qrf().Set("SchrBstDaten", reinterpret_cast<void*>(QrfFault::write));

    // A compaction that fails.
    void* compact = s.drivers->Qrf().Get("KomprimiereDatei");
    s.drivers->Qrf().Set("KomprimiereDatei", reinterpret_cast<void*>(&QrfFault::Compact));
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("Presse: Programmdatei " + s.FilePath().string() + " konnte nicht geschrieben werden.");
    EXPECT_EQ(ReadBytes(s.FilePath()), good);
    s.drivers->Qrf().Set("KomprimiereDatei", compact);

    // A block the PLC does not deliver: it refuses the block read function.
    ASSERT_TRUE(s.StartSim({"--demo", "--fault-error", "06"}));
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("Baustein nicht von der Steuerung lesbar.");
    EXPECT_EQ(ReadBytes(s.FilePath()), good);

    // The operator aborts with Escape and confirms.
    ASSERT_TRUE(s.StartSim({"--demo"}));
    const int polled = s.ui.pollCount;
    s.ui.onPoll = [polled](int poll) {
        return poll == polled + 8 ? AbortRequest::Escape : AbortRequest::None;
    };
    s.ui.answers = {MessageAnswer::Ok};
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("Abbruch");
    EXPECT_EQ(ReadBytes(s.FilePath()), good);

    s.ui.onPoll = nullptr;
    ASSERT_EQ(Backup(), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(FileBlocks(s.FilePath()), PlcBlocks());
}

TEST_P(S5E2E, DamagedFileIsNeitherUsedNorReplaced) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    const std::string junk(700, 'x');
    std::ofstream(s.FilePath(), std::ios::binary) << junk;
    EXPECT_EQ(Backup(), 0);
    ExpectFailedWith("Datei konnte nicht geöffnet/erstellt werden.");
    const Bytes after = ReadBytes(s.FilePath());
    EXPECT_EQ(std::string(after.begin(), after.end()), junk);
}

TEST_P(S5E2E, RestoreIntoAClearedPlcGivesTheSameBlocksBack) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    ASSERT_EQ(Backup(), 1);
    const Blocks original = PlcBlocks();

    ASSERT_TRUE(s.StartSim({}));
    ASSERT_TRUE(PlcBlocks().empty());
    s.station.settings.stopPlc = 1;
    S5Trace::calls.clear();
    ASSERT_EQ(restore->Run(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
    EXPECT_EQ(s.ui.StatusTexts().back(), "korrekt in AG geschrieben");
    EXPECT_TRUE(s.ui.SawStatus("Presse: SB  000 übertragen"));
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "AGStop=1", "AGStart=1", "Exit=1"}));
    EXPECT_EQ(PlcBlocks(), original);

    // And a new backup of the restored PLC into a second file holds the same blocks.
    s.entry.fileName = "ZWEITE.S5D";
    ASSERT_EQ(Backup(), 1);
    EXPECT_EQ(FileBlocks(s.FilePath()), original);
}

TEST_P(S5E2E, RestoreOfAMissingOrDamagedFileFailsBeforeThePlcIsTouched) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    EXPECT_EQ(restore->Run(s.entry), 0);
    ExpectFailedWith("Presse: Programmdatei " + s.FilePath().string() + " kann nicht gelesen werden.");
    EXPECT_FALSE(fs::exists(s.FilePath()));  // not created by the attempt

    std::ofstream(s.FilePath(), std::ios::binary) << std::string(512, '\x7f');
    EXPECT_EQ(restore->Run(s.entry), 0);
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    EXPECT_TRUE(S5Trace::calls.empty()) << ::testing::PrintToString(S5Trace::calls);
}

TEST_P(S5E2E, RefusedBlocksAreNamedAndTheRestoreIsNoSuccess) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    ASSERT_EQ(Backup(), 1);
    s.station.settings.stopPlc = 1;

    // Memory full: compressed once, the block still refused, the restore stops and the PLC stays stopped.
    ASSERT_TRUE(s.StartSim({"--fault-memory-full"}));
    S5Trace::calls.clear();
    EXPECT_EQ(restore->Run(s.entry), 0);
    ExpectFailedWith("Presse: SB  000 von der Steuerung nicht angenommen.");
    EXPECT_TRUE(s.ui.SawStatus("Baustein nicht in AG übertragbar"));
    EXPECT_EQ(restore->RefusedBlocks(), std::vector<std::string>{"SB 000"});
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "AGStop=1", "Compress=1", "Exit=1"}));

    // A busy PLC.
    ASSERT_TRUE(s.StartSim({"--fault-busy"}));
    EXPECT_EQ(restore->Run(s.entry), 0);
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));

    ASSERT_TRUE(s.StartSim({}));
    ASSERT_EQ(restore->Run(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(restore->RefusedBlocks().empty());
}

// The PLC's own refusals of single blocks: answers 5 and 6 are passed over (each block named, the rest of
// the program loaded, the restore no success and the PLC left stopped); any other answer ends the restore.
TEST_P(S5E2E, BlocksThePlcWillNotLoadAreSkippedOrEndTheRestoreByItsAnswer) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    ASSERT_EQ(Backup(), 1);
    const Blocks original = PlcBlocks();
    s.station.settings.stopPlc = 1;

    ASSERT_TRUE(s.StartSim({"--fault-load-answer", "PB1=05", "--fault-load-answer", "FB2=06"}));
    S5Trace::calls.clear();
    EXPECT_EQ(restore->Run(s.entry), 0);
    ExpectFailedWith("Presse: 2 Bausteine nicht in AG übertragen: PB 001, FB 002");
    EXPECT_TRUE(s.ui.SawStatus("Presse: PB  001 von der Steuerung nicht angenommen."));
    EXPECT_TRUE(s.ui.SawStatus("Presse: FB  002 von der Steuerung nicht angenommen."));
    EXPECT_FALSE(s.ui.SawStatus("Baustein nicht in AG übertragbar"));
    EXPECT_EQ(restore->RefusedBlocks(), (std::vector<std::string>{"PB 001", "FB 002"}));
    EXPECT_TRUE(PlcBlocks() == Without(original, {"PB1", "FB2"}));
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "AGStop=1", "Exit=1"}));

    // Another answer: the block is not transferable and nothing after it is sent.
    ASSERT_TRUE(s.StartSim({"--fault-load-answer", "PB1=07"}));
    EXPECT_EQ(restore->Run(s.entry), 0);
    ExpectFailedWith("Baustein nicht in AG übertragbar");
    EXPECT_EQ(restore->RefusedBlocks(), std::vector<std::string>{"PB 001"});
    const Blocks partial = PlcBlocks();
    EXPECT_TRUE(partial.count("PB0") == 1 && partial.count("PB1") == 0 && partial.count("FB0") == 0)
        << ::testing::PrintToString(partial.size());
}

INSTANTIATE_TEST_SUITE_P(Transports, S5E2E, ::testing::Values(s5_test::kDirect, s5_test::kLan),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(S5BlockKeys, LengthsThatDoNotFitTheBufferOrTheFileAreRefused) {
    S5BlockRecord block{};
    block.type = 0x48;  // flags above the type code are not part of it
    block.headerBytes[0] = 0x40;
    block.headerBytes[3] = 0x99;
    for (const uint16_t words : {uint16_t{5}, uint16_t{32767}}) {
        block.lengthWords = words;
        const auto key = S5BlockKey(block, 7);
        ASSERT_TRUE(key) << words;
        EXPECT_EQ(key->type, 8);
        EXPECT_EQ(key->number, 7);
        EXPECT_EQ(+key->length, words * 2);
        EXPECT_EQ(key->headerByte4, 0x40);
        EXPECT_EQ(key->headerMore[2], 0x99);
    }
    for (const uint16_t words : {uint16_t{0}, uint16_t{4}, uint16_t{32768}, uint16_t{65535}}) {
        block.lengthWords = words;
        EXPECT_FALSE(S5BlockKey(block, 7)) << words;
    }
}

TEST(S5Selection, WordAddressedPlcsCountBlocksByteAddressedOnesHalved) {
    ConnectionRecord record{};
    record.area.s5.systemParams[11 + 2] = 40;  // PB
    record.area.s5.systemParams[20] = 5;
    EXPECT_EQ(S5TypeSelection(record, 2), 40);
    record.area.s5.systemParams[20] = 10;
    EXPECT_EQ(S5TypeSelection(record, 2), 20);
    EXPECT_EQ(S5TypeSelection(record, 3), 0);
}

TEST(S5Refusals, DecisionTable) {
    EXPECT_EQ(DecideS5Refusal(8, 4, false), S5RefusalAction::CompressAndRetry);
    EXPECT_EQ(DecideS5Refusal(8, 4, true), S5RefusalAction::StopNotTransferable);
    EXPECT_EQ(DecideS5Refusal(8, 5, false), S5RefusalAction::Skip);
    EXPECT_EQ(DecideS5Refusal(8, 6, false), S5RefusalAction::Skip);
    EXPECT_EQ(DecideS5Refusal(8, 7, false), S5RefusalAction::StopNotTransferable);
    EXPECT_EQ(DecideS5Refusal(0x200, 0, false), S5RefusalAction::StopBusy);
    EXPECT_EQ(DecideS5Refusal(1, 0, false), S5RefusalAction::StopUnreachable);
    EXPECT_EQ(DecideS5Refusal(0x8000, 0, false), S5RefusalAction::StopUnreachable);
    EXPECT_EQ(DecideS5Refusal(0x4000, 0, false), S5RefusalAction::StopUnreachable);
}

}  // namespace
}  // namespace vaultra::app
