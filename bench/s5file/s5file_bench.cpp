// S5 program file speed through the library's C interface: writing N blocks of 0.5-4 KB into a new file
// (in backup order and interleaved across groups), reading the block list, and reading every block.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <vector>

#include <vaultra/qrf.h>

namespace {

struct Block {
    BlockKey key;
    std::vector<uint8_t> data;
};

std::filesystem::path BenchPath() {
    return std::filesystem::temp_directory_path() /
           ("vaultra-s5-bench-" + std::to_string(::getpid()) + ".S5D");
}

// `count` blocks of 0.5-4 KB over four block types, 250 numbers each, listed type by type.
std::vector<Block> MakeBlocks(int count) {
    static const uint8_t kTypes[] = {1, 4, 8, 16};
    std::mt19937 random(7);
    std::vector<Block> blocks;
    for (int i = 0; i < count; ++i) {
        Block block{};
        block.key.type = kTypes[i / 250 % 4];
        block.key.number = static_cast<uint8_t>(i % 250);
        block.key.length = static_cast<uint16_t>(512 + random() % (4096 - 512 + 1));
        block.data.resize(block.key.length);
        for (auto& byte : block.data) {
            byte = static_cast<uint8_t>(random());
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

// Every group in turn: each new block lands in a group with others behind it.
std::vector<Block> Interleaved(std::vector<Block> blocks) {
    std::vector<Block> order;
    const size_t groups = (blocks.size() + 249) / 250;
    for (size_t n = 0; n < 250; ++n) {
        for (size_t g = 0; g < groups; ++g) {
            if (g * 250 + n < blocks.size()) {
                order.push_back(std::move(blocks[g * 250 + n]));
            }
        }
    }
    return order;
}

void WriteFile(const std::filesystem::path& path, const std::vector<Block>& blocks) {
    std::filesystem::remove(path);
    S5File* file = OeffneS5Datei(path.c_str());
    for (const Block& block : blocks) {
        if (SchrBstDaten(file, &block.key, block.data.data()) != 1) {
            std::abort();
        }
    }
    SchlS5Datei(file);
}

void BM_WriteInBackupOrder(benchmark::State& state) {
    const auto blocks = MakeBlocks(static_cast<int>(state.range(0)));
    const auto path = BenchPath();
    for (auto _ : state) {
        WriteFile(path, blocks);
    }
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024;
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteInBackupOrder)->Arg(250)->Arg(500)->Arg(750)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_WriteInterleaved(benchmark::State& state) {
    const auto blocks = Interleaved(MakeBlocks(static_cast<int>(state.range(0))));
    const auto path = BenchPath();
    for (auto _ : state) {
        WriteFile(path, blocks);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteInterleaved)->Arg(250)->Arg(500)->Arg(750)->Arg(1000)->Unit(benchmark::kMillisecond);

class ThousandBlocks {
public:
    ThousandBlocks() : path_(BenchPath()) {
        WriteFile(path_, MakeBlocks(1000));
        file_ = OeffneS5Datei(path_.c_str());
    }
    ~ThousandBlocks() {
        SchlS5Datei(file_);
        std::filesystem::remove(path_);
    }
    S5File* file() const { return file_; }

private:
    std::filesystem::path path_;
    S5File* file_;
};

void BM_ReadBlockList(benchmark::State& state) {
    ThousandBlocks fixture;
    uint16_t count = 0;
    for (auto _ : state) {
        BlockKey* list = LeseBuchhalter(fixture.file(), &count);
        benchmark::DoNotOptimize(list);
        EntfBuchhalter(list);
    }
    state.counters["blocks"] = count;
}
BENCHMARK(BM_ReadBlockList)->Unit(benchmark::kMicrosecond);

void BM_ReadEveryBlock(benchmark::State& state) {
    ThousandBlocks fixture;
    uint16_t count = 0;
    BlockKey* list = LeseBuchhalter(fixture.file(), &count);
    for (auto _ : state) {
        for (uint16_t i = 0; i < count; ++i) {
            BlockKey key = list[i];
            uint8_t* data = LeseBstDaten(fixture.file(), &key);
            benchmark::DoNotOptimize(data);
            EntfBstDaten(data);
        }
    }
    EntfBuchhalter(list);
    state.counters["blocks"] = count;
}
BENCHMARK(BM_ReadEveryBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
