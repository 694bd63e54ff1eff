// A whole S7 backup of a 600-block simulated PLC over ISO-on-TCP loopback, project included, with the
// time of each phase and the peak memory of the process.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "app/recording_front_end.h"
#include "app/s7_backup.h"
#include "bench/engine/engine_bench_support.h"

namespace vaultra::app {
namespace {

using Clock = std::chrono::steady_clock;

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
    bench::SimulatedPlc plc("vaultra_engine_bench_", &error);
    if (!plc.Started()) {
        state.SkipWithError(("plcsim did not start: " + error).c_str());
        return;
    }
    double connectAndDirectory = 0, upload = 0, project = 0;
    int run = 0;
    for (auto _ : state) {
        Station station;
        plc.Prepare(station, run++);
        PhaseClock ui;
        const auto drivers = bench::BindDrivers(station, ui);
        S7Backup backup(*drivers, station, ui);
        CElement e = bench::BenchEntry();
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
    state.counters["peak_MiB"] = bench::PeakMemoryKiB() / 1024.0;
}
BENCHMARK(BM_BackupOf600BlocksOverIsoOnTcp)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace vaultra::app

BENCHMARK_MAIN();
