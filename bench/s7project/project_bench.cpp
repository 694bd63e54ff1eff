// Writing a project of N blocks (100 B to 16 KB each, one system data block in a hundred) into a new
// directory, and reading it back.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "s7project/s7project.h"

namespace vaultra::s7project {
namespace {

BlockList MakeProgram(std::size_t count) {
    std::mt19937 random(static_cast<unsigned>(count));
    constexpr std::uint8_t kTypes[] = {subblock::kOb, subblock::kFb,  subblock::kFc,
                                       subblock::kDb, subblock::kSfc, subblock::kSfb};
    const std::size_t sdbs = count / 100;
    BlockList blocks;
    for (std::size_t i = 0; i < count; ++i) {
        BlockImageFields f;
        const bool sdb = i < sdbs;
        f.header.type = sdb ? subblock::kSdb : kTypes[i % 6];
        f.header.number = static_cast<std::uint16_t>(i);
        const std::size_t total = 100 + random() % (16 * 1024 - 100 + 1);
        const std::size_t body = total - kBlockHeaderLength - kBlockTrailerLength;
        const std::size_t code = body * 3 / 4;
        const std::size_t iface = (body - code) / 2;
        f.code.resize(code);
        f.interfacePart.resize(iface);
        f.additional.resize(body - code - iface);
        for (auto* part : {&f.code, &f.interfacePart, &f.additional}) {
            for (auto& b : *part) {
                b = static_cast<std::uint8_t>(random());
            }
        }
        blocks.push_back(BuildBlockImage(f));
    }
    return blocks;
}

std::filesystem::path BenchDirectory(const char* kind) {
    return std::filesystem::temp_directory_path() /
           ("vaultra_s7project_bench_" + std::string(kind) + "_" + std::to_string(std::random_device{}()));
}

void BM_WriteProject(benchmark::State& state) {
    const BlockList blocks = MakeProgram(static_cast<std::size_t>(state.range(0)));
    const auto dir = BenchDirectory("write");
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ProjectFolders folders;
        state.ResumeTiming();
        if (!WriteS7Project(dir / "BENCH.S7P", blocks, folders)) {
            state.SkipWithError("project could not be written");
            break;
        }
    }
    std::filesystem::remove_all(dir);
}

void BM_ReadProject(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto dir = BenchDirectory("read");
    std::filesystem::create_directories(dir);
    ProjectFolders folders;
    if (!WriteS7Project(dir / "BENCH.S7P", MakeProgram(count), folders)) {
        state.SkipWithError("project could not be written");
    }
    for (auto _ : state) {
        BlockList back;
        ProjectFolders readFolders;
        if (!ReadS7Project(dir / "BENCH" / "BENCH.S7P", back, readFolders) || back.size() != count) {
            state.SkipWithError("project could not be read back whole");
            break;
        }
        benchmark::DoNotOptimize(back);
    }
    std::filesystem::remove_all(dir);
}

std::uint64_t TreeBytes(const std::filesystem::path& dir) {
    std::uint64_t size = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        size += e.is_regular_file() ? e.file_size() : 0;
    }
    return size;
}

// Ten backups of one unchanged program into the same project: the time of the ten and the project's
// size after the first and after the tenth.
void BM_TenBackupsOfOneProgram(benchmark::State& state) {
    const BlockList blocks = MakeProgram(static_cast<std::size_t>(state.range(0)));
    const auto dir = BenchDirectory("repeat");
    double first = 0;
    double tenth = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ProjectFolders folders;
        for (int i = 0; i < 10; ++i) {
            if (!WriteS7Project(dir / "BENCH.S7P", blocks, folders)) {
                state.SkipWithError("project could not be written");
                break;
            }
            if (i == 0) {
                first = static_cast<double>(TreeBytes(dir / "BENCH"));
            }
        }
        tenth = static_cast<double>(TreeBytes(dir / "BENCH"));
    }
    state.counters["first_bytes"] = first;
    state.counters["tenth_bytes"] = tenth;
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_TenBackupsOfOneProgram)->Arg(600)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteProject)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadProject)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vaultra::s7project

BENCHMARK_MAIN();
