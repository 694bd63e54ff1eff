// S5 backup of a 200-block program over the LAN adapter on loopback into an S5 program file, with the time
// split into directory reads, block reads and program file writes, and the peak memory of the process.
// The 5-second quiet time after the close is left out (it is a fixed wait, not work).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/recording_front_end.h"
#include "app/s5_backup.h"
#include "app/s5_program_file.h"
#include "bench/engine/bench_memory.h"
#include "sim/testing/plcsim_process.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::PeakMemoryKiB;

// Seconds spent in the wrapped driver and file library functions.
struct Split {
    static inline double directory = 0, blocks = 0, file = 0;
    static inline int blockCount = 0;
    static inline Tarn5S5RdDirFn rdDir = nullptr;
    static inline Tarn5S5RdBstFn rdBst = nullptr;
    static inline SchrBstDatenFn writeBlock = nullptr;
    static inline KomprimiereDateiFn compact = nullptr;

    template <typename Fn>
    static auto Timed(double& total, Fn&& call) {
        const auto start = Clock::now();
        const auto result = call();
        total += std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    }
    static int32_t RdDir(ConnectionRecord* r, int32_t t, uint16_t* w, int32_t c) {
        return Timed(directory, [&] { return rdDir(r, t, w, c); });
    }
    static int32_t RdBst(ConnectionRecord* r, S5BlockRecord* b, int32_t t, int32_t n, int32_t u) {
        ++blockCount;
        return Timed(blocks, [&] { return rdBst(r, b, t, n, u); });
    }
    static int Write(S5File* f, const BlockKey* k, const uint8_t* d) {
        return Timed(file, [&] { return writeBlock(f, k, d); });
    }
    static int Compact(const char* path) {
        return Timed(file, [&] { return compact(path); });
    }
    static void Install(S5Table& t) {
        rdDir = t.Get<Tarn5S5RdDirFn>(S5Slot::RdDir);
        rdBst = t.Get<Tarn5S5RdBstFn>(S5Slot::RdBst);
        t.Set(S5Slot::RdDir, reinterpret_cast<void*>(&RdDir));
        t.Set(S5Slot::RdBst, reinterpret_cast<void*>(&RdBst));
    }
    static void InstallQrf(QrfTable& q) {
        writeBlock = reinterpret_cast<SchrBstDatenFn>(q.Get("SchrBstDaten"));
        compact = reinterpret_cast<KomprimiereDateiFn>(q.Get("KomprimiereDatei"));
        q.Set("SchrBstDaten", reinterpret_cast<void*>(&Write));
        q.Set("KomprimiereDatei", reinterpret_cast<void*>(&Compact));
    }
};

void BM_S5BackupOf200BlocksOverLan(benchmark::State& state) {
    std::string error;
    auto sim =
        sim::testing::PlcsimProcess::Start({"s5", "--demo-blocks", "200", "--lan-raw-port", "0"}, &error);
    if (!sim) {
        state.SkipWithError(("plcsim did not start: " + error).c_str());
        return;
    }
    setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*sim->LanRawPort()).c_str(), 1);
    const fs::path root =
        fs::temp_directory_path() / ("vaultra_s5_bench_" + std::to_string(*sim->LanRawPort()));
    double total = 0;
    int run = 0;
    Split::directory = Split::blocks = Split::file = 0;
    for (auto _ : state) {
        Station station;
        station.settings.backupDirectory = (root / std::to_string(run++)).string() + "/";
        fs::create_directories(station.settings.backupDirectory);
        RecordingFrontEnd ui;
        DriverBinding drivers(station, ui, {sim::testing::PlcsimProcess::Executable().parent_path()},
                              CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        drivers.afterS5Bind = Split::Install;
        drivers.s5CloseWaitMs = 0;
        CElement e;
        e.name = "BENCH";
        e.flags = flag::kS5Lan | static_cast<uint16_t>(IntervalKind::Never);
        e.address = {127, 0, 0, 1, 0, 0};
        e.fileName = "BENCH.S5D";
        drivers.BindQrf(e);
        Split::InstallQrf(drivers.Qrf());
        S5Backup backup(drivers, station, ui);
        Split::blockCount = 0;
        const auto start = Clock::now();
        if (backup.Run(e) != 1 || backup.LastOutcome().blocks != 200) {
            state.SkipWithError("backup failed or incomplete");
            break;
        }
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    const double runs = run > 0 ? run : 1;
    state.counters["total_ms"] = total / runs * 1000;
    state.counters["directory_ms"] = Split::directory / runs * 1000;
    state.counters["block_reads_ms"] = Split::blocks / runs * 1000;
    state.counters["file_writes_ms"] = Split::file / runs * 1000;
    state.counters["blocks"] = Split::blockCount;
    state.counters["peak_MiB"] = PeakMemoryKiB() / 1024.0;
    std::error_code ec;
    fs::remove_all(root, ec);
}
BENCHMARK(BM_S5BackupOf200BlocksOverLan)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace vaultra::app

BENCHMARK_MAIN();
