#include "sim/s7/program.h"

#include "s7project/block_image.h"

#include <cstdio>
#include <fstream>
#include <set>

namespace vaultra::sim::s7 {

bool IsKnownType(std::uint8_t type) {
    for (std::uint8_t listed : kListedTypes) {
        if (listed == type) {
            return true;
        }
    }
    return false;
}

std::string BlockName(BlockId id) {
    const std::string_view type = s7project::BlockTypeName(id.type);
    return (type.empty() ? std::string("?") : std::string(type)) + std::to_string(id.number);
}

std::optional<std::uint8_t> TypeFromChars(std::uint8_t first, std::uint8_t second) {
    if (first != '0') {
        return std::nullopt;
    }
    std::uint8_t type = 0;
    if (second >= '0' && second <= '9') {
        type = static_cast<std::uint8_t>(second - '0');
    } else if (second >= 'A' && second <= 'F') {
        type = static_cast<std::uint8_t>(second - 'A' + 10);
    } else {
        return std::nullopt;
    }
    return IsKnownType(type) ? std::optional<std::uint8_t>(type) : std::nullopt;
}

std::optional<BlockId> ParseBlockName(ByteView seven) {
    if (seven.size() < 7) {
        return std::nullopt;
    }
    const auto type = TypeFromChars(seven[0], seven[1]);
    if (!type) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (std::size_t i = 2; i < 7; ++i) {
        if (seven[i] < '0' || seven[i] > '9') {
            return std::nullopt;
        }
        number = number * 10 + (seven[i] - '0');
    }
    if (number > 0xFFFF) {
        return std::nullopt;
    }
    return BlockId{*type, static_cast<std::uint16_t>(number)};
}

std::string FormatBlockName(BlockId id) {
    char text[16];
    std::snprintf(text, sizeof text, "0%X%05u", id.type & 15, static_cast<unsigned>(id.number % 100000));
    return text;
}

ByteView CodePart(ByteView image) {
    const auto parts = s7project::SplitBlockParts(image);
    return parts ? parts->code : ByteView{};
}

const Bytes* Program::Find(BlockId id) const {
    const auto it = blocks_.find(id);
    return it == blocks_.end() ? nullptr : &it->second;
}

Bytes* Program::FindMutable(BlockId id) {
    const auto it = blocks_.find(id);
    return it == blocks_.end() ? nullptr : &it->second;
}

std::vector<std::uint16_t> Program::Numbers(std::uint8_t type) const {
    std::vector<std::uint16_t> numbers;
    for (auto it = blocks_.lower_bound({type, 0}); it != blocks_.end() && it->first.type == type; ++it) {
        numbers.push_back(it->first.number);
    }
    return numbers;
}

std::size_t Program::Count(std::uint8_t type) const {
    return Numbers(type).size();
}

std::size_t Program::TotalBytes() const {
    std::size_t total = 0;
    for (const auto& [id, image] : blocks_) {
        total += image.size();
    }
    return total;
}

bool DumpProgram(const Program& program, const std::filesystem::path& directory, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        *error = directory.string() + ": " + ec.message();
        return false;
    }
    // Files of blocks that no longer exist go, so the directory always shows the program as it is.
    std::set<std::string> current;
    for (const auto& [id, image] : program.Blocks()) {
        current.insert(BlockName(id) + ".blk");
    }
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".blk" && !current.contains(name)) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
    for (const auto& [id, image] : program.Blocks()) {
        const std::filesystem::path path = directory / (BlockName(id) + ".blk");
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!file) {
            *error = path.string() + ": cannot be written";
            return false;
        }
    }
    return true;
}

}  // namespace vaultra::sim::s7
