// Thousands of random writes, rewrites and deletes against an in-memory model of the blocks: after
// every operation the block list, every block's bytes and the file's size and layout must match.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>

#include "s5file/program_file.h"
#include "s5file_test_support.h"

namespace vaultra::qrf::testing {
namespace {

struct ModelBlock {
    BlockKey key;
    std::vector<uint8_t> bytes;  // as stored: the header built from the key over the data
};

// The header the file must hold, built independently of the library.
std::vector<uint8_t> Stored(const BlockKey& key, std::vector<uint8_t> data) {
    const unsigned words = (key.length + 1u) / 2;
    const auto hi = [](unsigned v) { return static_cast<uint8_t>(v >> 8); };
    const auto lo = [](unsigned v) { return static_cast<uint8_t>(v & 0xFF); };
    std::vector<uint8_t> header;
    if (key.documentation) {
        return data;
    }
    if (key.type == 6 || key.type == 10 || key.type == 13 || key.type == 17) {
        const unsigned rest = words > 4 ? words - 4 : 0;
        header = {key.type,
                  key.number,
                  data.size() > 2 ? data[2] : uint8_t{0},
                  data.size() > 3 ? data[3] : uint8_t{0},
                  hi(words),
                  lo(words),
                  hi(rest),
                  lo(rest)};
    } else {
        header = {0x70,
                  0x70,
                  key.type,
                  key.number,
                  key.headerByte4,
                  key.headerMore[0],
                  key.headerMore[1],
                  key.headerMore[2],
                  hi(words),
                  lo(words)};
    }
    for (size_t i = 0; i < header.size() && i < data.size(); ++i) {
        data[i] = header[i];
    }
    return data;
}

// Model order: groups by code (documentation = 32), then number, or name for documentation blocks.
using ModelId = std::tuple<int, int, std::string>;

ModelId IdOf(const BlockKey& key) {
    if (key.documentation) {
        static const char* names[] = {"", "DB", "SB", "",   "PB", "FX", "", "",  "FB",
                                      "", "",   "",   "DX", "",   "",   "", "OB"};
        char number[4];
        std::snprintf(number, sizeof number, "%03u", unsigned{key.number});
        return {32, 0, std::string(names[key.type]) + "DO." + number};
    }
    return {key.type, key.number, ""};
}

class Differential : public ::testing::Test {
protected:
    void Check(int step) {
        const auto list = file_->BlockList();
        ASSERT_EQ(list.size(), model_.size()) << "step " << step;
        auto expected = model_.begin();
        std::vector<uint8_t> sectors;
        for (const BlockKey& listed : list) {
            const ModelBlock& block = expected->second;
            ASSERT_EQ(IdOf(listed), expected->first) << "step " << step;
            ASSERT_EQ(+listed.length, +block.key.length) << "step " << step;
            if (!listed.documentation) {
                ASSERT_EQ(listed.headerByte4, block.key.headerByte4);
                ASSERT_EQ(std::memcmp(listed.headerMore, block.key.headerMore, 3), 0);
            }
            BlockKey key = block.key;
            key.length = 0;
            ASSERT_EQ(file_->ReadBlock(key, sectors), Error::kNone) << "step " << step;
            ASSERT_EQ(sectors.size(), SectorsFor(block.key.length) * 128u);
            ASSERT_TRUE(std::equal(block.bytes.begin(), block.bytes.end(), sectors.begin()))
                << "step " << step;
            ++expected;
        }
        const std::vector<uint8_t> onDisk = store_ != nullptr ? std::vector<uint8_t>{} : ReadAll(path_);
        const std::vector<uint8_t>& bytes = store_ != nullptr ? store_->bytes() : onDisk;
        ASSERT_EQ(bytes.size(), file_->root().fileSectors * 128u) << "step " << step;
        ASSERT_EQ(ContiguityProblem(bytes), "") << "step " << step;
    }

    // Runs `steps` random operations, reopening the file every 250 (`reopen` gives a fresh handle).
    template <class Reopen>
    void Run(int steps, Reopen reopen) {
        size_t largest = 0;
        for (int step = 0; step < steps; ++step) {
            // Deletes get more frequent later so the file both fills and empties.
            if (random_() % 100 < (step < steps / 2 ? 25u : 45u)) {
                DeleteRandom();
            } else {
                WriteRandom();
            }
            Check(step);
            largest = std::max(largest, model_.size());
            if (HasFatalFailure()) {
                return;
            }
            if (step % 250 == 249) {
                reopen();
                ASSERT_TRUE(file_) << "reopen at step " << step;
                Check(step);
            }
        }
        EXPECT_FALSE(model_.empty());
        EXPECT_GT(largest, 60u) << "the run should fill the file with many blocks at some point";
    }

    BlockKey RandomKey() {
        static const uint8_t kTypes[] = {1, 2, 4, 5, 6, 8, 10, 12, 13, 16, 17, 33, 92};
        static const uint8_t kDocumented[] = {1, 2, 4, 5, 8, 12, 16};
        BlockKey key{};
        if (random_() % 8 == 0) {
            key.type = kDocumented[random_() % std::size(kDocumented)];
            key.documentation = 1;
        } else {
            key.type = kTypes[random_() % std::size(kTypes)];
        }
        key.number = static_cast<uint8_t>(random_() % 16);
        return key;
    }

    uint16_t RandomLength() {
        switch (random_() % 10) {
            case 0:
                return static_cast<uint16_t>(random_() % 3);  // around the empty block
            case 1:
                return static_cast<uint16_t>(126 + random_() % 4);  // around a sector boundary
            case 2:
                return static_cast<uint16_t>(2000 + random_() % 6000);
            default:
                return static_cast<uint16_t>(random_() % 1500);
        }
    }

    void WriteRandom() {
        BlockKey key = RandomKey();
        key.length = RandomLength();
        key.headerByte4 = static_cast<uint8_t>(random_());
        key.headerMore[1] = static_cast<uint8_t>(random_());
        std::vector<uint8_t> data(key.length);
        for (auto& b : data) {
            b = static_cast<uint8_t>(random_());
        }
        ASSERT_EQ(file_->WriteBlock(key, data), Error::kNone);
        model_[IdOf(key)] = {key, Stored(key, data)};
    }

    void DeleteRandom() {
        if (model_.empty()) {
            ASSERT_EQ(file_->DeleteBlock(RandomKey()), Error::kBlockNotFound);
            return;
        }
        auto it = model_.begin();
        std::advance(it, static_cast<long>(random_() % model_.size()));
        ASSERT_EQ(file_->DeleteBlock(it->second.key), Error::kNone);
        model_.erase(it);
    }

    ScratchDir dir_;
    std::filesystem::path path_ = dir_ / "RANDOM.S5D";
    std::unique_ptr<ProgramFile> file_;
    std::map<ModelId, ModelBlock> model_;
    MemoryStore* store_ = nullptr;  // set while the file lives in memory
    std::mt19937 random_{12345};
};

// The format logic over a store in memory, so that every step can check the whole file cheaply.
TEST_F(Differential, RandomOperationsInMemoryMatchTheModel) {
    std::vector<uint8_t> kept;
    auto reopen = [&] {
        kept = store_ != nullptr ? store_->bytes() : std::vector<uint8_t>{};
        file_.reset();
        auto store = std::make_unique<MemoryStore>(kept);
        store_ = store.get();
        file_ = ProgramFile::Open(std::move(store), "RANDOM", ProgramFile::Mode::kUpdateOrCreate).file;
    };
    reopen();
    ASSERT_TRUE(file_);
    Run(3000, reopen);
}

// The same on a file on disk, fewer steps.
TEST_F(Differential, RandomOperationsOnDiskMatchTheModel) {
    auto reopen = [&] {
        file_.reset();
        file_ = ProgramFile::Open(path_, ProgramFile::Mode::kUpdateOrCreate).file;
    };
    reopen();
    ASSERT_TRUE(file_);
    Run(600, reopen);
}

}  // namespace
}  // namespace vaultra::qrf::testing
