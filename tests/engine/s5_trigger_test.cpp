// S5 entries with a PLC trigger through the real S5 libraries against plcsim s5 playing a PLC that asks
// for service: the poll, the backup or restore it starts with the PLC's file-name suffix, and the
// acknowledgement of the request in the PLC.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/operand_access.h"
#include "app/plc_trigger.h"
#include "app/run_loop.h"
#include "app/s5_backup.h"
#include "app/s5_restore.h"
#include "tests/engine/s5_test_support.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using s5_test::Blocks;
using s5_test::Interface;
using s5_test::S5Station;
using s5_test::S5Trace;

constexpr const char* kBackupBit = "DB100.DBX2.1";
constexpr const char* kRestoreBit = "M12.1";
constexpr const char* kNameOperand = "DB100.DBB4";

std::size_t IndexOf(const std::vector<std::string>& texts, const std::string& text) {
    return static_cast<std::size_t>(std::find(texts.begin(), texts.end(), text) - texts.begin());
}

// The trigger over the bare S5 procedures (the engine passes its reporting runs instead).
PlcTrigger TriggerOver(S5Station& s, S5Backup& backup, S5Restore& restore) {
    return PlcTrigger(
        *s.drivers, s.station, s.ui,
        [&backup](CElement& e, const std::string& suffix) { return backup.Run(e, suffix); },
        [&restore](CElement& e, const std::string& suffix) { return restore.Run(e, suffix); });
}

class S5TriggerE2E : public ::testing::TestWithParam<Interface> {
protected:
    S5TriggerE2E() : s(GetParam()) {
        s.entry.flags =
            static_cast<uint16_t>(GetParam().flag | static_cast<uint16_t>(IntervalKind::PlcTrigger));
        s.entry.backupBit = kBackupBit;
        s.entry.restoreBit = kRestoreBit;
        s.entry.nameOperand = kNameOperand;
        s.station.settings.noWriteBack = 0;
        EXPECT_EQ(s.drivers->BindQrf(s.entry), 1);
    }

    // The PLC's bit as the station reads it on a connection of its own; -1 when it cannot be read.
    int PlcBit(const std::string& operand) {
        if (s.drivers->ConnectS5(s.entry) == 0) {
            return -1;
        }
        int value = -1;
        if (ReadOperandBit(S5OperandWords(s.drivers->S5(), s.station.record), operand, value) == 0) {
            value = -1;
        }
        s.drivers->CloseS5(s.entry);
        return value;
    }

    fs::path Suffixed() const { return s.dir.path() / "PRESSE_A12.S5D"; }

    S5Station s;
    S5Backup backup{*s.drivers, s.station, s.ui};
    S5Restore restore{*s.drivers, s.station, s.ui};
    PlcTrigger trigger = TriggerOver(s, backup, restore);
};

TEST_P(S5TriggerE2E, BackupRequestWritesTheSuffixedFileAndIsAcknowledged) {
    ASSERT_TRUE(s.StartSim({"--demo", "--set-string", "DB100.DBB4=A12", "--set", "DB100.DBX2.1=1"}));
    ASSERT_EQ(trigger.Check(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
    EXPECT_TRUE(s.ui.SawStatus("Presse: Trigger prüfen"));
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG gesichert.");
    // The poll and the backup each have a connection of their own, both closed with the S5 close: the
    // backup connects only after the quiet time that follows the poll's close.
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "Exit=1", "Init=1", "Exit=1"}));
    ASSERT_EQ(S5Trace::timeline.size(), 4u);
    EXPECT_GE(S5Trace::timeline[2].second - S5Trace::timeline[1].second, s.drivers->s5CloseWaitMs);
    EXPECT_FALSE(fs::exists(s.FilePath()));
    EXPECT_EQ(PlcBit(kBackupBit), 0);

    // Acknowledged: the next poll runs nothing.
    S5Trace::calls.clear();
    ASSERT_EQ(trigger.Check(s.entry), 1);
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "Exit=1"}));

    // Every block as the PLC holds it; its DB 100 still carried the request when it was read. (The dump
    // raises the request again.)
    const Blocks plc = s5_test::Without(s5_test::PlcBlocks(s), {"DB100"});
    EXPECT_TRUE(s5_test::Without(s5_test::FileBlocks(s, Suffixed()), {"DB100"}) == plc) << plc.size();
}

TEST_P(S5TriggerE2E, RestoreRequestLoadsTheSuffixedFileIntoAClearedPlcAndIsAcknowledged) {
    ASSERT_TRUE(s.StartSim({"--demo"}));
    ASSERT_EQ(backup.Run(s.entry, "A12"), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    const Blocks original = s5_test::PlcBlocks(s);

    // An empty PLC whose program asks for its program back.
    ASSERT_TRUE(s.StartSim({"--set-string", "DB100.DBB4=A12", "--set", "M12.1=1"}));
    ASSERT_EQ(trigger.Check(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(s.ui.StatusTexts().back(), "korrekt in AG geschrieben");
    EXPECT_TRUE(s.ui.SawStatus("Presse: PB  001 übertragen"));
    EXPECT_EQ(PlcBit(kRestoreBit), 0);

    const std::size_t seen = s.ui.StatusTexts().size();
    ASSERT_EQ(trigger.Check(s.entry), 1);
    const auto& texts = s.ui.StatusTexts();
    EXPECT_TRUE(std::none_of(texts.begin() + static_cast<std::ptrdiff_t>(seen), texts.end(),
                             [](const std::string& t) { return t.find("übertragen") != std::string::npos; }));
    const Blocks plc = s5_test::Without(s5_test::PlcBlocks(s), {"DB100"});
    EXPECT_TRUE(plc == original) << plc.size() << " blocks, " << original.size() << " stored";
}

// A run that fails leaves the request set, so the PLC's next poll asks again; nothing is written outside
// the backup directory whatever the PLC names.
TEST_P(S5TriggerE2E, FailedRunsLeaveTheRequestForTheNextPoll) {
    ASSERT_TRUE(s.StartSim({"--demo", "--set-string", "DB100.DBB4=A12", "--set", "M12.1=1"}));
    EXPECT_EQ(trigger.Check(s.entry), 0);
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    EXPECT_TRUE(
        s.ui.SawStatus("Presse: Programmdatei " + Suffixed().string() + " kann nicht gelesen werden."))
        << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(PlcBit(kRestoreBit), 1);

    ASSERT_TRUE(s.StartSim(
        {"--demo", "--set-string", "DB100.DBB4=A12", "--set", "DB100.DBX2.1=1", "--fault-error", "06"}));
    EXPECT_EQ(trigger.Check(s.entry), 0);
    EXPECT_TRUE(s.ui.SawStatus("Baustein nicht von der Steuerung lesbar."));
    EXPECT_FALSE(fs::exists(Suffixed()));
    EXPECT_EQ(PlcBit(kBackupBit), 1);

    ASSERT_TRUE(s.StartSim({"--demo", "--set-string", "DB100.DBB4=../x", "--set", "DB100.DBX2.1=1"}));
    S5Trace::calls.clear();
    EXPECT_EQ(trigger.Check(s.entry), 0);
    EXPECT_TRUE(s.ui.SawStatus("Presse: Dateizusatz \"../x\" der Steuerung ist kein gültiger Dateiname."));
    EXPECT_EQ(S5Trace::calls, (std::vector<std::string>{"Init=1", "Exit=1"}));  // the poll only
    // No run got as far as a file: the backup directory holds no program file at all.
    for (const auto& file : fs::recursive_directory_iterator(s.dir.path())) {
        EXPECT_NE(file.path().extension(), ".S5D") << file.path();
    }
    EXPECT_FALSE(fs::exists(s.dir.path().parent_path() / "x.S5D"));
}

INSTANTIATE_TEST_SUITE_P(Transports, S5TriggerE2E, ::testing::Values(s5_test::kDirect, s5_test::kLan),
                         [](const auto& info) { return std::string(info.param.name); });

// "S5 H1-Bus" cannot be reached from this station: its trigger poll fails with the interface's text and
// reads nothing.
TEST(S5TriggerH1, PollFailsWithTheInterfaceTextWithoutADriverCall) {
    S5Station s({"h1", flag::kS5H1, {8, 0, 6, 1, 2, 3}});
    s.entry.flags = static_cast<uint16_t>(flag::kS5H1 | static_cast<uint16_t>(IntervalKind::PlcTrigger));
    s.entry.backupBit = kBackupBit;
    S5Backup backup(*s.drivers, s.station, s.ui);
    S5Restore restore(*s.drivers, s.station, s.ui);
    PlcTrigger trigger = TriggerOver(s, backup, restore);
    EXPECT_EQ(trigger.Check(s.entry), 0);
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    EXPECT_TRUE(s.ui.SawStatus("Presse: Die Schnittstelle S5 H1-Bus ist in dieser Station nicht verfügbar."));
    EXPECT_FALSE(s.ui.SawStatus("Presse: Trigger prüfen"));
    EXPECT_TRUE(S5Trace::calls.empty()) << ::testing::PrintToString(S5Trace::calls);
}

class FixedClock : public WallClock {
public:
    int64_t Now() override { return 1'000'000; }
};

// An S5-LAN and an S7 trigger entry in one set: one timer pass polls both in list order and runs both
// backups, each into its suffixed file.
TEST(S5TriggerMixedSet, S5AndS7TriggerEntriesAreServedInListOrder) {
    S5Station s(s5_test::kLan);
    ASSERT_TRUE(s.StartSim({"--demo-blocks", "12", "--set-string", "DB100.DBB4=L1", "--set", "M10.0=1"}));
    std::string error;
    auto s7Sim = sim::testing::PlcsimProcess::Start(
        {"s7", "--demo", "--iso-port", "0", "--set-string", "DB5.DBB4=L2", "--set", "M10.0=1"}, &error);
    ASSERT_TRUE(s7Sim) << error;
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*s7Sim->IsoPort()).c_str(), 1);

    const auto add = [&](const char* name, uint16_t interfaceBit, std::array<uint8_t, 6> address,
                         const char* file, const char* nameOperand) {
        CElement e;
        e.name = name;
        e.flags = static_cast<uint16_t>(interfaceBit | static_cast<uint16_t>(IntervalKind::PlcTrigger));
        e.address = address;
        e.fileName = file;
        e.backupBit = "M10.0";
        e.nameOperand = nameOperand;
        e.triggerInterval = 30;
        ASSERT_TRUE(s.station.AddEntry(e));
        s.drivers->BindQrf(s.station.entries[s.station.entries.size() - 1]);
    };
    add("Presse", flag::kS5Lan, {127, 0, 0, 1, 0, 0}, "PRESSE.S5D", "DB100.DBB4");
    add("Linie", flag::kS7Rfc1006, {127, 0, 0, 1, 2, 0}, "LINIE.S7P", "DB5.DBB4");
    FixedClock clock;
    Engine engine(s.station, s.ui, clock, *s.drivers);
    engine.TimerTick();

    const auto& texts = s.ui.StatusTexts();
    EXPECT_LT(IndexOf(texts, "Presse: Trigger prüfen"), IndexOf(texts, "Linie: Trigger prüfen"))
        << ::testing::PrintToString(texts);
    EXPECT_LT(IndexOf(texts, "Linie: Trigger prüfen"), texts.size());
    EXPECT_TRUE(fs::exists(s.dir.path() / "PRESSE_L1.S5D"));
    EXPECT_TRUE(fs::exists(s.dir.path() / "LINIE_L2" / "LINIE_L2.S7P"));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(s.station.entries[i].Has(flag::kLastSucceeded)) << i;
        EXPECT_EQ(s.station.entries[i].nextBackup, 1'000'030u) << i;
    }
}

}  // namespace
}  // namespace vaultra::app
