// Loading and saving the largest set a file can carry (1023 entries), through the file system.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "app/backup_set_file.h"
#include "app/schedule.h"

namespace {

using namespace vaultra::app;

Station LargestSet() {
    Station s;
    s.settings.backupDirectory = "/srv/vaultra/sicherungen/";
    for (size_t i = 0; i < kMaxEntries; ++i) {
        CElement e;
        e.name = "Anlage " + std::to_string(i) + " K\xC3\xBChlhaus";
        e.address = {192, 168, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 2, 0};
        e.password = "geheim";
        e.flags = static_cast<uint16_t>(flag::kS7Lan | (i % 4));
        e.day = static_cast<uint8_t>(1 + i % 7);
        e.hour = static_cast<uint8_t>(i % 24);
        e.minute = static_cast<uint8_t>(i % 60);
        e.fileName = "ANLAGE" + std::to_string(i) + ".S7P";
        e.blockList = "DB 001,FB 022,OB";
        e.backupBit = "M10.3";
        e.restoreBit = "DB5.DBX3.7";
        e.nameOperand = "DB10.DBB4";
        s.AddEntry(std::move(e));
    }
    return s;
}

std::filesystem::path BenchFile() {
    return std::filesystem::temp_directory_path() / ("vaultra-bench-" + std::to_string(::getpid()) + ".ini");
}

void BM_SaveBackupSet1023(benchmark::State& state) {
    const Station s = LargestSet();
    const auto path = BenchFile();
    for (auto _ : state) {
        if (!SaveBackupSet(s, path)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveBackupSet1023)->Unit(benchmark::kMillisecond);

void BM_LoadBackupSet1023(benchmark::State& state) {
    const auto path = BenchFile();
    SaveBackupSet(LargestSet(), path);
    for (auto _ : state) {
        Station s;
        const auto report = LoadBackupSet(s, path, 1781000000);
        if (!report || s.entries.size() != kMaxEntries) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(s.entries[kMaxEntries - 1].nextBackup);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadBackupSet1023)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
