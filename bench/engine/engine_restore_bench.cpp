// Restore of a 600-block program over ISO-on-TCP loopback, measured in the same run as its backup, with
// the exchanges per block and the peak memory of the process.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/recording_front_end.h"
#include "app/s7_backup.h"
#include "app/s7_restore.h"
#include "bench/engine/bench_memory.h"
#include "s7project/s7project.h"
#include "sim/testing/plcsim_process.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::PeakMemoryKiB;

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
    auto sim = sim::testing::PlcsimProcess::Start({"s7", "--demo-blocks", "600", "--iso-port", "0"}, &error);
    if (!sim) {
        state.SkipWithError(("plcsim did not start: " + error).c_str());
        return;
    }
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim->IsoPort()).c_str(), 1);
    const fs::path root =
        fs::temp_directory_path() / ("vaultra_restore_bench_" + std::to_string(*sim->IsoPort()));
    double backupSeconds = 0, restoreSeconds = 0, exchanges = 0;
    int run = 0;
    for (auto _ : state) {
        Station station;
        station.settings.backupDirectory = (root / std::to_string(run++)).string() + "/";
        station.settings.skipSystemBlocks = 0;
        station.settings.noWriteBack = 0;
        fs::create_directories(station.settings.backupDirectory);
        RecordingFrontEnd ui;
        DriverBinding drivers(station, ui, {sim::testing::PlcsimProcess::Executable().parent_path()},
                              CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        S7Backup backup(drivers, station, ui);
        S7Restore restore(drivers, station, ui);
        restore.debugOutput = [](const std::string&) {};
        CElement e;
        e.name = "BENCH";
        e.flags = flag::kS7Rfc1006 | static_cast<uint16_t>(IntervalKind::Never);
        e.address = {127, 0, 0, 1, 2, 0};
        e.fileName = "BENCH.S7P";
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
    state.counters["peak_MiB"] = PeakMemoryKiB() / 1024.0;
    std::error_code ec;
    fs::remove_all(root, ec);
}
BENCHMARK(BM_RestoreOf600BlocksOverIsoOnTcp)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vaultra::app

BENCHMARK_MAIN();
