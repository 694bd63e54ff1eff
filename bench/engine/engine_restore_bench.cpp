// Restore of a 600-block program over ISO-on-TCP loopback, measured in the same run as its backup, with
// the exchanges per block and the peak memory of the process.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/recording_front_end.h"
#include "app/s7_backup.h"
#include "app/s7_restore.h"
#include "bench/engine/engine_bench_support.h"
#include "s7project/s7project.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Exchanges the download dialogue needs for the stored blocks: status list, request, end of download
// and insert, plus one answered request per 222-byte piece; system data are not written back.
double ExchangesPerBlock(const fs::path& project) {
    s7project::BlockList blocks;
    s7project::ReadS7Project(project, blocks);
    double exchanges = 0;
    double written = 0;
    for (const auto& image : blocks) {
        const auto header = s7project::ReadBlockHeader(image);
        if (!header || header->type == s7project::subblock::kSdb) {
            continue;
        }
        exchanges += 4 + (image.size() + 221) / 222;
        ++written;
    }
    return written > 0 ? exchanges / written : 0;
}

void BM_RestoreOf600BlocksOverIsoOnTcp(benchmark::State& state) {
    std::string error;
    bench::SimulatedPlc plc("vaultra_restore_bench_", &error);
    if (!plc.Started()) {
        state.SkipWithError(("plcsim did not start: " + error).c_str());
        return;
    }
    double backupSeconds = 0, restoreSeconds = 0, exchanges = 0;
    int run = 0;
    for (auto _ : state) {
        Station station;
        plc.Prepare(station, run++);
        station.settings.noWriteBack = 0;
        RecordingFrontEnd ui;
        const auto drivers = bench::BindDrivers(station, ui);
        S7Backup backup(*drivers, station, ui);
        S7Restore restore(*drivers, station, ui);
        restore.debugOutput = [](const std::string&) {};
        CElement e = bench::BenchEntry();
        auto start = Clock::now();
        if (backup.Run(e, {}) != 1) {
            state.SkipWithError("backup failed");
            break;
        }
        backupSeconds += Since(start);
        start = Clock::now();
        if (restore.Run(e, {}) != 1) {
            state.SkipWithError("restore failed");
            break;
        }
        restoreSeconds += Since(start);
        exchanges = ExchangesPerBlock(station.settings.backupDirectory + "BENCH/BENCH.S7P");
    }
    const double runs = run > 0 ? run : 1;
    state.counters["backup_s"] = backupSeconds / runs;
    state.counters["restore_s"] = restoreSeconds / runs;
    state.counters["restore_per_backup"] = backupSeconds > 0 ? restoreSeconds / backupSeconds : 0;
    state.counters["exchanges_per_block"] = exchanges;
    state.counters["peak_MiB"] = bench::PeakMemoryKiB() / 1024.0;
}
BENCHMARK(BM_RestoreOf600BlocksOverIsoOnTcp)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vaultra::app

BENCHMARK_MAIN();
