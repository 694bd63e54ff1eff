// A whole S7 backup of a 600-block simulated PLC over ISO-on-TCP loopback, project included, with the
// time of each phase and the peak memory of the process.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/recording_front_end.h"
#include "app/s7_backup.h"
#include "bench/engine/bench_memory.h"
#include "sim/testing/plcsim_process.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Peak resident set of this process in KiB ("VmHWM" of /proc/self/status).
using bench::PeakMemoryKiB;

// Notes when the run enters each phase: directory, upload, project.
class PhaseClock : public RecordingFrontEnd {
public:
    void StatusText(const std::string& text) override {
        const auto now = Clock::now();
        if (text == "AG initialisieren...") {
            directory = now;
        } else if (upload == Clock::time_point{} && text.ends_with(" lesen") &&
                   !text.ends_with("nachher lesen") && !text.ends_with("Buchhalter lesen")) {
            upload = now;
        } else if (text == "VOR DEM SPEICHERN") {
            project = now;
        } else if (text == "NACH DEM SPEICHERN") {
            done = now;
        }
    }
    Clock::time_point directory, upload, project, done;
};

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void BM_BackupOf600BlocksOverIsoOnTcp(benchmark::State& state) {
    std::string error;
    auto sim = sim::testing::PlcsimProcess::Start({"s7", "--demo-blocks", "600", "--iso-port", "0"}, &error);
    if (!sim) {
        state.SkipWithError(("plcsim did not start: " + error).c_str());
        return;
    }
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim->IsoPort()).c_str(), 1);
    const fs::path root =
        fs::temp_directory_path() / ("vaultra_engine_bench_" + std::to_string(*sim->IsoPort()));
    double connectAndDirectory = 0, upload = 0, project = 0;
    int run = 0;
    for (auto _ : state) {
        Station station;
        station.settings.backupDirectory = (root / std::to_string(run++)).string() + "/";
        fs::create_directories(station.settings.backupDirectory);
        PhaseClock ui;
        DriverBinding drivers(station, ui, {sim::testing::PlcsimProcess::Executable().parent_path()},
                              CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        S7Backup backup(drivers, station, ui);
        CElement e;
        e.name = "BENCH";
        e.flags = flag::kS7Rfc1006 | static_cast<uint16_t>(IntervalKind::Never);
        e.address = {127, 0, 0, 1, 2, 0};
        e.fileName = "BENCH.S7P";
        station.settings.skipSystemBlocks = 0;
        const auto start = Clock::now();
        if (backup.Run(e, {}) != 1) {
            state.SkipWithError("backup failed");
            break;
        }
        connectAndDirectory += Seconds(start, ui.upload);
        upload += Seconds(ui.upload, ui.project);
        project += Seconds(ui.project, ui.done);
    }
    const double runs = run > 0 ? run : 1;
    state.counters["directory_s"] = connectAndDirectory / runs;
    state.counters["upload_s"] = upload / runs;
    state.counters["project_s"] = project / runs;
    state.counters["peak_MiB"] = PeakMemoryKiB() / 1024.0;
    std::error_code ec;
    fs::remove_all(root, ec);
}
BENCHMARK(BM_BackupOf600BlocksOverIsoOnTcp)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace vaultra::app

BENCHMARK_MAIN();
