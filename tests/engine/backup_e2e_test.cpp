// The S7 backup through the real driver libraries against plcsim, on all three S7 interfaces.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "app/recording_front_end.h"
#include "app/s7_backup.h"
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
};

const Interface kInterfaces[] = {
    {"mpi", flag::kS7Mpi, "--mpi-pty", {2, 2, 0, 0, 0, 0}},
    {"lan", flag::kS7Lan, "--lan-framed-port", {127, 0, 0, 1, 2, 2}},
    {"rfc", flag::kS7Rfc1006, "--iso-port", {127, 0, 0, 1, 2, 0}},
};

constexpr uint32_t kComPort = 5;

// Wraps driver functions of the bound table to see what reached the PLC and to shorten waits.
struct DriverTrace {
    static inline std::vector<std::string> calls;
    static inline Tarn7AGStopFn stop = nullptr;
    static inline Tarn7AGStartFn start = nullptr;
    static inline Tarn7RdDirFn rdDir = nullptr;
    static inline Tarn7RdBstFn rdBst = nullptr;
    static inline Tarn7SetTimeOutFn setTimeOut = nullptr;
    static inline Tarn7SetRepeatFn setRepeat = nullptr;
    static inline int32_t maxTimeOut = 0;  // 0: leave the station's time-out
    static inline int32_t maxRepeat = -1;  // -1: leave the station's repeat count

    static int32_t Stop(ConnectionRecord* r) { return Log("AGStop", stop(r)); }
    static int32_t Start(ConnectionRecord* r) { return Log("AGStart", start(r)); }
    static int32_t RdDir(ConnectionRecord* r, int32_t type, int16_t* table, void* window) {
        return Log("RdDir", rdDir(r, type, table, window));
    }
    static int32_t RdBst(ConnectionRecord* r, BlockRecord* b, int32_t type, int32_t number, int32_t x) {
        return Log("RdBst", rdBst(r, b, type, number, x));
    }
    static int32_t SetTimeOut(int32_t ticks) {
        return setTimeOut(maxTimeOut > 0 && ticks > maxTimeOut ? maxTimeOut : ticks);
    }
    static int32_t SetRepeat(int32_t repeat) {
        return setRepeat(maxRepeat >= 0 && repeat > maxRepeat ? maxRepeat : repeat);
    }
    static int32_t Log(const char* name, int32_t result) {
        calls.push_back(std::string(name) + "=" + std::to_string(result));
        return result;
    }

    static void Install(S7Table& table) {
        stop = table.Get<Tarn7AGStopFn>(S7Slot::AGStop);
        start = table.Get<Tarn7AGStartFn>(S7Slot::AGStart);
        rdDir = table.Get<Tarn7RdDirFn>(S7Slot::RdDir);
        rdBst = table.Get<Tarn7RdBstFn>(S7Slot::RdBst);
        setTimeOut = table.Get<Tarn7SetTimeOutFn>(S7Slot::SetTimeOut);
        setRepeat = table.Get<Tarn7SetRepeatFn>(S7Slot::SetRepeat);
        table.Set(S7Slot::SetRepeat, reinterpret_cast<void*>(&SetRepeat));
        table.Set(S7Slot::AGStop, reinterpret_cast<void*>(&Stop));
        table.Set(S7Slot::AGStart, reinterpret_cast<void*>(&Start));
        table.Set(S7Slot::RdDir, reinterpret_cast<void*>(&RdDir));
        table.Set(S7Slot::RdBst, reinterpret_cast<void*>(&RdBst));
        table.Set(S7Slot::SetTimeOut, reinterpret_cast<void*>(&SetTimeOut));
    }
};

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "DB1", "SFC46", ... of an image, from its header.
std::string BlockName(const Bytes& image) {
    const auto header = s7project::ReadBlockHeader(image);
    if (!header) {
        return "?";
    }
    return std::string(s7project::BlockTypeName(header->type)) + std::to_string(header->number);
}

class BackupE2E : public ::testing::TestWithParam<Interface> {
protected:
    BackupE2E() {
        DriverTrace::calls.clear();
        DriverTrace::maxTimeOut = 0;
        DriverTrace::maxRepeat = -1;
        station.settings.comPort = kComPort;
        station.settings.backupDirectory = dir.path().string() + "/";
        station.ApplyComPort();
        entry.name = "PLC";
        entry.flags = static_cast<uint16_t>(GetParam().flag | static_cast<uint16_t>(IntervalKind::Never));
        entry.address = GetParam().address;
        entry.fileName = "LINE1.S7P";
        Bind({PlcsimProcess::Executable().parent_path()});
    }

    void Bind(std::vector<fs::path> libraryDirs) {
        backup.reset();
        drivers = std::make_unique<DriverBinding>(station, ui, std::move(libraryDirs),
                                                  CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        drivers->afterS7Bind = DriverTrace::Install;
        backup = std::make_unique<S7Backup>(*drivers, station, ui);
    }

    // Starts plcsim on the transport of the test (the same port or pty path as before when restarting)
    // and points the driver libraries at it.
    void StartSim(std::vector<std::string> extra) {
        std::vector<std::string> args{"s7", "--dump-dir", (dir.path() / "dump").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(GetParam().simOption);
        const bool pty = GetParam().flag == flag::kS7Mpi;
        args.push_back(pty ? (dir.path() / "mpi").string() : std::to_string(port));
        std::string error;
        sim.reset();
        sim = PlcsimProcess::Start(args, &error);
        ASSERT_TRUE(sim) << error;
        if (pty) {
            setenv(("VAULTRA_COM" + std::to_string(kComPort)).c_str(), sim->MpiPty()->c_str(), 1);
        } else if (GetParam().flag == flag::kS7Lan) {
            port = *sim->LanFramedPort();
            setenv("VAULTRA_LAN_FRAMED_PORT", std::to_string(port).c_str(), 1);
        } else {
            port = *sim->IsoPort();
            setenv("VAULTRA_ISO_TCP_PORT", std::to_string(port).c_str(), 1);
        }
    }

    int Backup() { return backup->Run(entry, {}); }

    // The simulated PLC's program, by block name.
    std::map<std::string, Bytes> PlcBlocks() {
        EXPECT_TRUE(sim->Dump());
        std::map<std::string, Bytes> blocks;
        for (const auto& file : fs::directory_iterator(dir.path() / "dump")) {
            blocks[file.path().stem().string()] = ReadFile(file.path());
        }
        return blocks;
    }

    std::map<std::string, Bytes> ProjectBlocks() {
        s7project::BlockList list;
        EXPECT_TRUE(s7project::ReadS7Project(dir.path() / "LINE1" / "LINE1.S7P", list));
        std::map<std::string, Bytes> blocks;
        for (auto& image : list) {
            blocks[BlockName(image)] = std::move(image);
        }
        return blocks;
    }

    void ExpectReleasedAndFailed() {
        EXPECT_TRUE(entry.Has(flag::kLastFailed));
        EXPECT_EQ(station.record.connected, 0);
        EXPECT_FALSE(fs::exists(dir.path() / "LINE1" / "HRS"));
    }

    testing::TempDir dir;
    Station station;
    RecordingFrontEnd ui;
    std::unique_ptr<DriverBinding> drivers;
    std::unique_ptr<S7Backup> backup;
    CElement entry;
    std::unique_ptr<PlcsimProcess> sim;
    uint16_t port = 0;
};

TEST_P(BackupE2E, ProjectHoldsEverySelectedBlockByteForByte) {
    StartSim({"--demo"});
    ASSERT_EQ(Backup(), 1) << ::testing::PrintToString(ui.StatusTexts());
    EXPECT_TRUE(entry.Has(flag::kLastSucceeded));
    EXPECT_EQ(station.record.connected, 0);

    auto expected = PlcBlocks();
    ASSERT_GT(expected.size(), 20u);
    // System functions and function blocks are left out by default.
    std::erase_if(expected,
                  [](const auto& b) { return b.first.rfind("SFC", 0) == 0 || b.first.rfind("SFB", 0) == 0; });
    const auto stored = ProjectBlocks();
    ASSERT_EQ(stored.size(), expected.size());
    for (const auto& [name, image] : expected) {
        ASSERT_TRUE(stored.count(name)) << name;
        // whole, trailer and security word included (the trailer bytes without a field are zero here)
        EXPECT_EQ(stored.at(name), image) << name;
    }
}

TEST_P(BackupE2E, BlockSelectionAndSystemBlocksAreRespected) {
    StartSim({"--demo"});
    entry.blockList = "DB 10,PB 46,OB 1,FB";  // S7 system functions are written PB
    entry.Set(flag::kOnlyListed, true);
    station.settings.skipSystemBlocks = 0;
    ASSERT_EQ(Backup(), 1);
    std::vector<std::string> names;
    for (const auto& [name, image] : ProjectBlocks()) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DB10", "FB1", "FB10", "FB2", "OB1", "SFC46"}));
}

TEST_P(BackupE2E, PasswordOfAProtectedPlcIsSent) {
    StartSim({"--demo", "--password", "GEHEIM"});
    EXPECT_EQ(Backup(), 0);  // the upload of a protected PLC is refused without it
    EXPECT_EQ(ui.StatusTexts().back(), "Baustein nicht von der Steuerung lesbar.");
    ExpectReleasedAndFailed();

    entry.password = "GEHEIM";
    ASSERT_EQ(Backup(), 1);
    EXPECT_TRUE(entry.Has(flag::kLastSucceeded));
}

TEST_P(BackupE2E, StopPlcStopsThePlcOnlyWhileTheDirectoriesAreRead) {
    StartSim({"--demo", "--keyswitch", "run-p"});
    station.settings.stopPlc = 1;
    ASSERT_EQ(Backup(), 1);
    const auto& calls = DriverTrace::calls;
    const auto first = [&](const std::string& c) {
        return std::find(calls.begin(), calls.end(), c) - calls.begin();
    };
    const auto last = [&](const std::string& c) {
        return static_cast<std::ptrdiff_t>(calls.rend() - std::find(calls.rbegin(), calls.rend(), c)) - 1;
    };
    ASSERT_EQ(std::count(calls.begin(), calls.end(), "AGStop=1"), 1);
    ASSERT_EQ(std::count(calls.begin(), calls.end(), "AGStart=1"), 1);
    EXPECT_LT(first("AGStop=1"), first("RdDir=1"));
    EXPECT_LT(last("RdDir=1"), first("AGStart=1"));
    EXPECT_LT(first("AGStart=1"), first("RdBst=1"));
}

TEST_P(BackupE2E, FailedBlockReadIsReportedAndTheNextBackupSucceeds) {
    StartSim({"--demo", "--fault-error", "start-upload=D209"});
    EXPECT_EQ(Backup(), 0);
    EXPECT_EQ(ui.StatusTexts().back(), "Baustein nicht von der Steuerung lesbar.");
    ExpectReleasedAndFailed();

    StartSim({"--demo"});
    ASSERT_EQ(Backup(), 1);
}

TEST_P(BackupE2E, FailedDirectoryReadFailsQuietlyAndTheNextBackupSucceeds) {
    StartSim({"--demo", "--fault-error", "list-type=D0A1"});
    EXPECT_EQ(Backup(), 0);
    ExpectReleasedAndFailed();
    EXPECT_FALSE(ui.SawStatus("Baustein nicht von der Steuerung lesbar."));

    StartSim({"--demo"});
    ASSERT_EQ(Backup(), 1);
}

TEST_P(BackupE2E, PlcFallingSilentOrCuttingMidUploadFailsTheRunReleased) {
    DriverTrace::maxTimeOut = 10;  // about half a second per wait, one attempt per step
    DriverTrace::maxRepeat = 0;
    for (const char* fault : {"--fault-silent-after", "--fault-cut-after"}) {
        SCOPED_TRACE(fault);
        // A silent adapter on the serial line holds the driver in its own character waits for many
        // seconds; the pseudo-terminal gets the cut only.
        if (GetParam().flag == flag::kS7Mpi && std::string(fault) == "--fault-silent-after") {
            continue;
        }
        StartSim({"--demo", fault, "20"});
        EXPECT_EQ(Backup(), 0);
        ExpectReleasedAndFailed();
        EXPECT_NE(std::find(DriverTrace::calls.begin(), DriverTrace::calls.end(), "RdBst=0"),
                  DriverTrace::calls.end());
    }
    StartSim({"--demo"});
    ASSERT_EQ(Backup(), 1);
}

TEST_P(BackupE2E, ACutConnectionFailsWithinOneReceiveTimeOutASilentPlcAfterEveryAttempt) {
    if (GetParam().flag == flag::kS7Mpi) {
        GTEST_SKIP() << "a serial line has no connection to lose: a cut there is silence";
    }
    DriverTrace::maxTimeOut = 10;  // 0.55 s per wait
    DriverTrace::maxRepeat = 3;    // four attempts: 2.2 s of silence before a step fails
    const auto timed = [this](const char* fault) {
        StartSim({"--demo", fault, "20"});
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Backup(), 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double cut = timed("--fault-cut-after");
    EXPECT_LT(cut, 0.5);
    EXPECT_NE(backup->LastOutcome().failure.find("Verbindung von der Steuerung getrennt"), std::string::npos)
        << backup->LastOutcome().failure;
    const double silent = timed("--fault-silent-after");
    EXPECT_GE(silent, 2.1);
    EXPECT_NE(backup->LastOutcome().failure.find("keine Antwort der Steuerung"), std::string::npos)
        << backup->LastOutcome().failure;
}

TEST_P(BackupE2E, AbortDuringUploadReleasesTheConnection) {
    StartSim({"--demo"});
    ui.onStatus = [this](const std::string& text) {
        if (text == "PLC: FB  00002 lesen") {
            ui.quit = true;
        }
    };
    EXPECT_EQ(Backup(), 0);
    EXPECT_EQ(ui.StatusTexts().back(), "Abbruch");
    ExpectReleasedAndFailed();

    ui.quit = false;
    ui.onStatus = nullptr;
    ASSERT_EQ(Backup(), 1);
}

TEST_P(BackupE2E, UnreachablePlcFailsAndTheNextBackupSucceeds) {
    DriverTrace::maxTimeOut = 10;
    DriverTrace::maxRepeat = 0;
    StartSim({"--demo"});
    sim.reset();  // nobody behind the port or the pseudo-terminal any more
    EXPECT_EQ(Backup(), 0);
    ExpectReleasedAndFailed();
    if (GetParam().flag == flag::kS7Rfc1006) {
        // ISO-on-TCP opens without any exchange: the first request finds nobody, the directory read fails.
        EXPECT_FALSE(ui.SawStatus("AG nicht ansprechbar."));
    } else {
        EXPECT_EQ(ui.StatusTexts().back(), "AG nicht ansprechbar.");
    }

    StartSim({"--demo"});
    ASSERT_EQ(Backup(), 1);
}

TEST_P(BackupE2E, MissingLibraryFailsTheConnectAndTheNextBackupSucceeds) {
    StartSim({"--demo"});
    Bind({dir.path() / "nowhere"});
    EXPECT_EQ(Backup(), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_NE(ui.Messages()[0].find(" nicht gefunden!"), std::string::npos);
    EXPECT_EQ(ui.StatusTexts().back(), "AG nicht ansprechbar.");
    ExpectReleasedAndFailed();

    Bind({PlcsimProcess::Executable().parent_path()});
    ASSERT_EQ(Backup(), 1);
}

INSTANTIATE_TEST_SUITE_P(Interfaces, BackupE2E, ::testing::ValuesIn(kInterfaces),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vaultra::app
