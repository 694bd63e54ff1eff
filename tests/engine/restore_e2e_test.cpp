// The S7 restore, the PLC trigger and the PLC commands through the real driver libraries against plcsim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "app/operand_access.h"
#include "app/plc_commands.h"
#include "app/plc_trigger.h"
#include "app/recording_front_end.h"
#include "app/run_loop.h"
#include "app/s7_backup.h"
#include "app/s7_restore.h"
#include "s7project/s7project.h"
#include "sim/testing/plcsim_process.h"
#include "tests/app/temp_dir.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using sim::testing::PlcsimProcess;
using Bytes = std::vector<uint8_t>;

struct Interface {
    const char* name;
    uint16_t flag;
    const char* simOption;
    std::array<uint8_t, 6> address;
    const char* roundTripBlocks;  // the serial line is slow: fewer blocks keep the test quick
};

const Interface kInterfaces[] = {
    {"mpi", flag::kS7Mpi, "--mpi-pty", {2, 2, 0, 0, 0, 0}, "100"},
    {"lan", flag::kS7Lan, "--lan-framed-port", {127, 0, 0, 1, 2, 2}, "600"},
    {"rfc", flag::kS7Rfc1006, "--iso-port", {127, 0, 0, 1, 2, 0}, "600"},
};
const Interface& kRfc = kInterfaces[2];

// VAULTRA_ROUND_TRIP_BLOCKS sets the round trip's size for a one-off volume run (600 blocks over MPI take
// minutes, too long for the suite).
std::string RoundTripBlocks(const Interface& i) {
    const char* blocks = std::getenv("VAULTRA_ROUND_TRIP_BLOCKS");
    return blocks != nullptr && *blocks != '\0' ? blocks : i.roundTripBlocks;
}

constexpr uint32_t kComPort = 6;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != t.npos; });
}

// What a download changes on purpose: the interface time stamp (the code time stamp only when it is zero,
// which no demo block has). Everything else, trailer and security word included, comes back byte for byte.
Bytes Comparable(Bytes image) {
    if (image.size() < 72)
        return image;
    std::fill(image.begin() + 22, image.begin() + 28, 0);
    return image;
}

// The image a data block with an odd code length has after the download padded it.
Bytes Padded(Bytes image) {
    const size_t code = image[34] << 8 | image[35];
    if (image[5] != 0x0A || code % 2 == 0)
        return image;
    image.insert(image.begin() + 36 + static_cast<std::ptrdiff_t>(code) - 1, 0);
    image[35] = static_cast<uint8_t>(code + 1);
    image[34] = static_cast<uint8_t>((code + 1) >> 8);
    const uint32_t load = static_cast<uint32_t>(image.size());
    image[10] = static_cast<uint8_t>(load >> 8);
    image[11] = static_cast<uint8_t>(load);
    return image;
}

class Station7 {
public:
    explicit Station7(const Interface& i) : interface_(i) {
        station.settings.comPort = kComPort;
        station.settings.backupDirectory = dir.path().string() + "/";
        station.settings.noWriteBack = 0;
        station.ApplyComPort();
        entry.name = "PLC";
        entry.flags = static_cast<uint16_t>(i.flag | static_cast<uint16_t>(IntervalKind::Never));
        entry.address = i.address;
        entry.fileName = "LINE1.S7P";
        drivers = std::make_unique<DriverBinding>(
            station, ui, std::vector<fs::path>{PlcsimProcess::Executable().parent_path()},
            CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        drivers->afterS7Bind = [](S7Table& table) {
            // Short waits: a silent PLC must not hold the test for the station's 7.5 s.
            table.Call<Tarn7SetTimeOutFn>(S7Slot::SetTimeOut, 20);
        };
        backup = std::make_unique<S7Backup>(*drivers, station, ui);
        restore = std::make_unique<S7Restore>(*drivers, station, ui);
        restore->debugOutput = [this](const std::string& line) { debugLines.push_back(line); };
        backup->writeOperandBit = [this](ConnectionRecord& record, const std::string& operand, int value) {
            return WriteOperandBit(drivers->S7(), record, operand, value);
        };
    }

    void StartSim(std::vector<std::string> extra) {
        std::vector<std::string> args{"s7", "--dump-dir", (dir.path() / "dump").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(interface_.simOption);
        const bool pty = interface_.flag == flag::kS7Mpi;
        args.push_back(pty ? (dir.path() / "mpi").string() : "0");
        std::string error;
        sim.reset();
        sim = PlcsimProcess::Start(args, &error);
        ASSERT_TRUE(sim) << error;
        if (pty) {
            setenv(("VAULTRA_COM" + std::to_string(kComPort)).c_str(), sim->MpiPty()->c_str(), 1);
        } else if (interface_.flag == flag::kS7Lan) {
            setenv("VAULTRA_LAN_FRAMED_PORT", std::to_string(*sim->LanFramedPort()).c_str(), 1);
        } else {
            setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim->IsoPort()).c_str(), 1);
        }
    }

    std::map<std::string, Bytes> PlcBlocks() {
        EXPECT_TRUE(sim->Dump());
        std::map<std::string, Bytes> blocks;
        for (const auto& file : fs::directory_iterator(dir.path() / "dump"))
            blocks[file.path().stem().string()] = ReadFile(file.path());
        return blocks;
    }

    // Clears the PLC's program as an operator would: stop, then clear.
    void ClearPlc() {
        entry.Set(flag::kMarked, true);
        station.entries.Clear();
        station.entries.Append(entry);
        PlcCommands commands(*drivers, station, ui);
        commands.sleep = [](uint32_t) {};
        ASSERT_EQ(commands.Run(PlcCommand::Stop, false).results.at(0).succeeded, true);
        ASSERT_EQ(commands.Run(PlcCommand::Clear, false).results.at(0).succeeded, true);
        station.entries.Clear();
    }

    const Interface& interface_;
    testing::TempDir dir;
    Station station;
    RecordingFrontEnd ui;
    std::unique_ptr<DriverBinding> drivers;
    std::unique_ptr<S7Backup> backup;
    std::unique_ptr<S7Restore> restore;
    std::vector<std::string> debugLines;
    CElement entry;
    std::unique_ptr<PlcsimProcess> sim;
};

class RestoreRoundTrip : public ::testing::TestWithParam<Interface> {};

TEST_P(RestoreRoundTrip, BackedUpProgramComesBackIntoAClearedPlc) {
    Station7 s(GetParam());
    s.StartSim({"--demo-blocks", RoundTripBlocks(GetParam())});
    s.station.settings.skipSystemBlocks = 0;
    const auto before = s.PlcBlocks();
    ASSERT_EQ(s.backup->Run(s.entry, {}), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    s.ClearPlc();
    ASSERT_LT(s.PlcBlocks().size(), 20u);
    ASSERT_EQ(s.restore->Run(s.entry, {}), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(s.ui.StatusTexts().back(), "korrekt in AG geschrieben");
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
    EXPECT_EQ(s.station.record.connected, 0);
    // System functions stay in a cleared PLC and are refused when sent again: named, not fatal.
    EXPECT_FALSE(s.restore->RefusedUserBlock());
    EXPECT_FALSE(s.restore->RefusedBlocks().empty());
    const auto after = s.PlcBlocks();
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [name, image] : before) {
        ASSERT_TRUE(after.count(name)) << name;
        EXPECT_EQ(Comparable(after.at(name)), Comparable(Padded(image))) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Interfaces, RestoreRoundTrip, ::testing::ValuesIn(kInterfaces),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RestoreE2E, MissingProjectFailsWithoutTouchingThePlc) {
    Station7 s(kRfc);
    s.StartSim({"--demo", "--fault-error", "setup=8104"});  // any connect would fail and show 5008
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    ASSERT_FALSE(s.ui.StatusTexts().empty());
    EXPECT_NE(s.ui.StatusTexts().back().find("LINE1/LINE1.S7P"), std::string::npos)
        << s.ui.StatusTexts().back();
    EXPECT_FALSE(Contains(s.ui.StatusTexts(), "AG nicht ansprechbar."));
}

TEST(RestoreE2E, FullMemoryIsCompressedAndTheBlockSentAgain) {
    Station7 s(kRfc);
    s.StartSim({"--demo"});
    ASSERT_EQ(s.backup->Run(s.entry, {}), 1);
    s.StartSim({"--demo", "--fault-fragmented"});
    ASSERT_EQ(s.restore->Run(s.entry, {}), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    ASSERT_FALSE(s.debugLines.empty());
    EXPECT_NE(s.debugLines.front().find("Fehler 4000 8304"), std::string::npos) << s.debugLines.front();
    EXPECT_FALSE(s.restore->RefusedUserBlock());
}

TEST(RestoreE2E, MemoryStillFullAfterCompressStopsTheRestore) {
    Station7 s(kRfc);
    s.StartSim({"--demo"});
    ASSERT_EQ(s.backup->Run(s.entry, {}), 1);
    s.StartSim({"--demo", "--fault-memory-full"});
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
    EXPECT_TRUE(Contains(s.ui.StatusTexts(), "Baustein nicht in AG übertragbar"));
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    EXPECT_EQ(s.station.record.connected, 0);
}

TEST(RestoreE2E, KeySwitchRunBusyAndACutConnectionStopTheRestoreWithTheirTexts) {
    Station7 s(kRfc);
    s.StartSim({"--demo"});
    ASSERT_EQ(s.backup->Run(s.entry, {}), 1);
    s.StartSim({"--demo", "--keyswitch", "run"});
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
    EXPECT_TRUE(Contains(s.ui.StatusTexts(), "Der Schluesselschalter der Steuerung ist auf RUN"));
    s.StartSim({"--demo", "--fault-error", "request-download=8404"});
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG ist beschäftigt");
    s.StartSim({"--demo", "--fault-cut-after", "5"});
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG nicht ansprechbar.");
    EXPECT_EQ(s.station.record.connected, 0);
    s.StartSim({"--demo"});
    EXPECT_EQ(s.restore->Run(s.entry, {}), 1);  // the link was released: the next run succeeds
}

// Escape during the download: a first press answered Cancel goes on, a confirmed one stops between two
// blocks; the link is released, the entry failed, and the next restore writes the whole program.
TEST(RestoreE2E, EscapeStopsARestoreInProgressCleanly) {
    Station7 s(kRfc);
    s.StartSim({"--demo"});
    ASSERT_EQ(s.backup->Run(s.entry, {}), 1);
    const auto before = s.PlcBlocks();
    s.ClearPlc();
    int written = 0;
    s.ui.onStatus = [&](const std::string& text) { written += text.ends_with("übertragen") ? 1 : 0; };
    int pressed = 0;
    s.ui.onPoll = [&](int) {
        if ((pressed == 0 && written == 3) || (pressed == 1 && written == 6)) {
            ++pressed;
            return AbortRequest::Escape;
        }
        return AbortRequest::None;
    };
    s.ui.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    const size_t messages = s.ui.Messages().size();
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
    EXPECT_EQ(written, 6);
    EXPECT_EQ(s.ui.Messages().size(), messages + 2);
    EXPECT_EQ(s.ui.StatusTexts().back(), "Abbruch");
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    EXPECT_EQ(s.station.record.connected, 0);
    EXPECT_LT(s.PlcBlocks().size(), before.size());

    s.ui.onPoll = nullptr;
    ASSERT_EQ(s.restore->Run(s.entry, {}), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
    EXPECT_EQ(s.PlcBlocks().size(), before.size());
}

TEST(RestoreE2E, PasswordProtectedPlcTakesTheProgramWithTheEntrysPassword) {
    Station7 s(kRfc);
    s.StartSim({"--demo", "--password", "SECRET"});
    s.entry.password = "SECRET";
    ASSERT_EQ(s.backup->Run(s.entry, {}), 1);
    ASSERT_EQ(s.restore->Run(s.entry, {}), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    s.entry.password = "WRONG";
    EXPECT_EQ(s.restore->Run(s.entry, {}), 0);
}

class SetClock : public WallClock {
public:
    explicit SetClock(int64_t start) : now(start) {}
    int64_t Now() override { return now; }
    int64_t now;
};

class TriggerE2E : public ::testing::Test {
protected:
    TriggerE2E() : s(kRfc) {
        s.entry.flags =
            static_cast<uint16_t>(flag::kS7Rfc1006 | static_cast<uint16_t>(IntervalKind::PlcTrigger));
        s.entry.backupBit = "M10.0";
        s.entry.restoreBit = "DB5.DBX2.1";
        s.entry.nameOperand = "DB5.DBB4";
        trigger = std::make_unique<PlcTrigger>(
            *s.drivers, s.station, s.ui,
            [this](CElement& e, const std::string& suffix) { return s.backup->Run(e, suffix); },
            [this](CElement& e, const std::string& suffix) { return s.restore->Run(e, suffix); });
    }
    Station7 s;
    std::unique_ptr<PlcTrigger> trigger;
};

TEST_F(TriggerE2E, BackupBitWritesTheSuffixedProjectAndIsClearedAfterwards) {
    s.StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "M10.0=1"});
    ASSERT_EQ(trigger->Check(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(fs::exists(s.dir.path() / "LINE1_A12" / "LINE1_A12.S7P"));
    EXPECT_TRUE(Contains(s.ui.StatusTexts(), "PLC: Trigger prüfen"));
    // The bit is cleared in the PLC: the next poll runs nothing.
    fs::remove_all(s.dir.path() / "LINE1_A12");
    ASSERT_EQ(trigger->Check(s.entry), 1);
    EXPECT_FALSE(fs::exists(s.dir.path() / "LINE1_A12"));
}

TEST_F(TriggerE2E, RestoreBitRestoresAndClearsBothBits) {
    s.StartSim({"--demo", "--set-string", "DB5.DBB4=A12"});
    ASSERT_EQ(s.backup->Run(s.entry, "A12"), 1);
    s.StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "DB5.DBX2.1=1"});
    ASSERT_EQ(trigger->Check(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_EQ(s.ui.StatusTexts().back(), "korrekt in AG geschrieben");
    const size_t texts = s.ui.StatusTexts().size();
    ASSERT_EQ(trigger->Check(s.entry), 1);  // both bits clear now: poll only
    const auto all = s.ui.StatusTexts();
    EXPECT_FALSE(Contains(
        std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(texts), all.end()), "übertragen"));
}

TEST_F(TriggerE2E, BothBitsSetRunsNothingAndSucceeds) {
    s.StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "M10.0=1", "--set", "DB5.DBX2.1=1"});
    ASSERT_EQ(trigger->Check(s.entry), 1);
    EXPECT_FALSE(fs::exists(s.dir.path() / "LINE1_A12"));
    EXPECT_TRUE(s.entry.Has(flag::kLastSucceeded));
}

TEST_F(TriggerE2E, UnreachablePlcFailsThePoll) {
    s.StartSim({"--demo"});
    s.sim.reset();
    EXPECT_EQ(trigger->Check(s.entry), 0);
    EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
}

TEST_F(TriggerE2E, SignalSetsTheRequestAgainWhileThePlcRuns) {
    s.StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "M10.0=1"});
    const auto project = s.dir.path() / "LINE1_A12";
    ASSERT_EQ(trigger->Check(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    ASSERT_TRUE(fs::exists(project));
    fs::remove_all(project);
    ASSERT_EQ(trigger->Check(s.entry), 1);
    EXPECT_FALSE(fs::exists(project));  // cleared by the backup
    ASSERT_TRUE(s.sim->Dump());         // SIGUSR1: the presets are set again
    ASSERT_EQ(trigger->Check(s.entry), 1) << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(fs::exists(project / "LINE1_A12.S7P"));
}

// The run loop polls a trigger entry whose PLC could not be reached again retryMinutes later, not before.
TEST_F(TriggerE2E, UnreachablePlcIsPolledAgainAfterTheRetryTime) {
    s.StartSim({"--demo"});
    s.sim.reset();
    s.station.settings.retryMinutes = 3;
    s.entry.triggerInterval = 60;
    s.entry.nextBackup = 0;
    s.station.entries.Append(s.entry);
    CElement& e = s.station.entries[0];
    const int64_t start = 1'800'000'000;
    SetClock clock(start);
    Engine engine(s.station, s.ui, clock, *s.drivers);
    engine.TimerTick();
    EXPECT_TRUE(e.Has(flag::kLastFailed));
    EXPECT_EQ(e.nextBackup, static_cast<uint32_t>(start + 3 * 60));

    s.StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "M10.0=1"});
    clock.now = start + 3 * 60 - 1;
    engine.TimerTick();
    EXPECT_FALSE(fs::exists(s.dir.path() / "LINE1_A12"));
    EXPECT_TRUE(e.Has(flag::kLastFailed));
    clock.now = start + 3 * 60;
    engine.TimerTick();
    EXPECT_TRUE(fs::exists(s.dir.path() / "LINE1_A12" / "LINE1_A12.S7P"))
        << ::testing::PrintToString(s.ui.StatusTexts());
    EXPECT_TRUE(e.Has(flag::kLastSucceeded));
    EXPECT_EQ(e.nextBackup, static_cast<uint32_t>(start + 3 * 60 + 60));
}

TEST_F(TriggerE2E, HostileSuffixesNeverLeaveTheBackupDirectory) {
    const std::string longName(254, 'x');
    for (const std::string suffix : {"../x", "a/b", "a\x01z", longName.c_str()}) {
        s.StartSim({"--demo", "--set-string", "DB5.DBB4=" + suffix, "--set", "M10.0=1"});
        EXPECT_EQ(trigger->Check(s.entry), 0) << suffix.size();
        EXPECT_TRUE(s.entry.Has(flag::kLastFailed));
    }
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(s.dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_LE(entries, 2u);  // the dump folder and the pseudo-terminal link at most
    EXPECT_FALSE(fs::exists(s.dir.path().parent_path() / "x"));
}

TEST(PlcCommandsE2E, StartStopAndClearReachThePlc) {
    Station7 s(kRfc);
    s.StartSim({"--demo"});
    s.station.entries.Append(s.entry);  // one entry, not marked: start and stop act on it
    PlcCommands commands(*s.drivers, s.station, s.ui);
    std::vector<uint32_t> waits;
    commands.sleep = [&](uint32_t ms) { waits.push_back(ms); };
    auto stop = commands.Run(PlcCommand::Stop, false);
    ASSERT_EQ(stop.results.size(), 1u);
    EXPECT_TRUE(stop.results[0].succeeded);
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG gestoppt");
    // Clear acts on marked entries only.
    auto none = commands.Run(PlcCommand::Clear, false);
    EXPECT_TRUE(none.noneSelected);
    EXPECT_TRUE(Contains(s.ui.Messages(), "Keine AG ausgewählt!"));
    s.station.entries[0].Set(flag::kMarked, true);
    auto clear = commands.Run(PlcCommand::Clear, false);
    ASSERT_TRUE(clear.results.at(0).succeeded);
    uint32_t waited = 0;
    for (uint32_t ms : waits)
        waited += ms;
    EXPECT_GE(waited, 6000u);
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG gelöscht");
    EXPECT_LT(s.PlcBlocks().size(), 20u);
    auto start = commands.Run(PlcCommand::Start, false);
    EXPECT_TRUE(start.results.at(0).succeeded);
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG gestartet");
}

TEST(PlcCommandsE2E, ClearInRunShowsTheStopMessageAndEndsTheCommand) {
    Station7 s(kRfc);
    s.StartSim({"--demo"});
    CElement second = s.entry;
    second.name = "PLC2";
    s.entry.Set(flag::kMarked, true);
    second.Set(flag::kMarked, true);
    s.station.entries.Append(s.entry);
    s.station.entries.Append(second);
    PlcCommands commands(*s.drivers, s.station, s.ui);
    commands.sleep = [](uint32_t) {};
    s.ui.answers.push_back(MessageAnswer::Yes);
    auto clear = commands.Run(PlcCommand::Clear, true);
    ASSERT_EQ(clear.results.size(), 1u);  // the second entry is not processed
    EXPECT_FALSE(clear.results[0].succeeded);
    EXPECT_TRUE(Contains(s.ui.Messages(), "Das AG ist nicht im STOP-Zustand."));
    EXPECT_EQ(s.station.record.connected, 0);
    EXPECT_GT(s.PlcBlocks().size(), 20u);
}

TEST(PlcCommandsE2E, AnsweringNoDoesNothing) {
    Station7 s(kRfc);
    s.station.entries.Append(s.entry);
    PlcCommands commands(*s.drivers, s.station, s.ui);
    s.ui.answers.push_back(MessageAnswer::No);
    auto outcome = commands.Run(PlcCommand::Stop, true);
    EXPECT_FALSE(outcome.confirmed);
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_TRUE(s.ui.StatusTexts().empty());
}

}  // namespace
}  // namespace vaultra::app
