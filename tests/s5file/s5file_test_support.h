// Helpers shared by the S5 program file tests: scratch directories, block data and an independent
// reader of the raw file layout that checks the file is contiguous.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <vaultra/records.h>

namespace vaultra::qrf::testing {

// A directory unique to this process and test, removed again at the end.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string("vaultra-s5-") + std::to_string(::getpid()) + "-" +
                                 info->test_suite_name() + "-" + info->name();
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void WriteAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

inline void PutWord(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes.at(at) = static_cast<uint8_t>(value & 0xFF);
    bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

inline BlockKey Key(uint8_t type, uint8_t number, uint16_t length = 0, uint8_t documentation = 0) {
    BlockKey key{};
    key.type = type;
    key.number = number;
    key.documentation = documentation;
    key.length = length;
    return key;
}

// Deterministic block contents that differ per seed.
inline std::vector<uint8_t> Pattern(size_t length, unsigned seed) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i) {
        data[i] = static_cast<uint8_t>((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    }
    return data;
}

// Checks from the raw bytes alone that the file is the root followed by the group areas without gaps,
// each group area its directory followed by its blocks without gaps, and the file exactly as long as the
// root says. Returns an empty string when all holds, else what is wrong.
inline std::string ContiguityProblem(const std::vector<uint8_t>& file) {
    if (file.size() < 256) {
        return "shorter than a root";
    }
    const uint16_t rootSectors = Word(file, 18);
    const uint16_t fileSectors = Word(file, 20);
    const uint16_t groups = Word(file, 22);
    if (file.size() != fileSectors * 128u) {
        return "size " + std::to_string(file.size()) + " != " + std::to_string(fileSectors) + " sectors";
    }
    std::vector<std::pair<uint16_t, size_t>> areas;  // first sector, entry
    for (size_t g = 0; g < groups; ++g) {
        areas.emplace_back(Word(file, 66 + 19 * g + 17), g);
    }
    std::sort(areas.begin(), areas.end());
    uint32_t expected = rootSectors;
    for (const auto& [first, g] : areas) {
        if (first != expected) {
            return "group " + std::to_string(g) + " starts at " + std::to_string(first) + ", expected " +
                   std::to_string(expected);
        }
        const size_t dir = first * 128u;
        const uint16_t dirSectors = Word(file, dir + 18);
        const uint16_t areaSectors = Word(file, dir + 20);
        const uint16_t count = Word(file, dir + 22);
        if (dirSectors != Word(file, 66 + 19 * g + 15)) {
            return "directory size differs between root and group";
        }
        const bool doc = file.at(dir + 8) == 32;
        const size_t entrySize = doc ? 19 : 15;
        std::vector<std::pair<uint16_t, uint16_t>> blocks;  // offset, sectors
        for (size_t e = 0; e < count; ++e) {
            const size_t at = dir + 66 + entrySize * e;
            const uint16_t length = Word(file, at + entrySize - 4);
            blocks.emplace_back(Word(file, at + entrySize - 2), length == 0 ? 1 : (length - 1) / 128 + 1);
        }
        std::sort(blocks.begin(), blocks.end());
        uint32_t next = dirSectors;
        for (const auto& [offset, sectors] : blocks) {
            if (offset != next) {
                return "block at " + std::to_string(offset) + ", expected " + std::to_string(next);
            }
            next += sectors;
        }
        if (next != areaSectors) {
            return "group area " + std::to_string(areaSectors) + " != " + std::to_string(next);
        }
        expected += areaSectors;
    }
    return expected == fileSectors ? "" : "groups end at " + std::to_string(expected);
}

}  // namespace vaultra::qrf::testing
