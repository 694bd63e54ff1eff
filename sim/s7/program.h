// The PLC's program: block images keyed by block type and number, and the header fields the PLC reads.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/bytes.h"

namespace vaultra::sim::s7 {

// Block types as the image header (byte 5) and the S7 services (second type character) name them.
enum BlockType : std::uint8_t {
    kOB = 0x08,
    kDB = 0x0A,
    kSDB = 0x0B,
    kFC = 0x0C,
    kSFC = 0x0D,
    kFB = 0x0E,
    kSFB = 0x0F,
};

// The seven types in the order the directory of all blocks lists them.
inline constexpr std::uint8_t kListedTypes[7] = {kOB, kFB, kFC, kDB, kSDB, kSFC, kSFB};

struct BlockId {
    std::uint8_t type = 0;
    std::uint16_t number = 0;
    auto operator<=>(const BlockId&) const = default;
};

bool IsKnownType(std::uint8_t type);
// "OB1", "DB100".
std::string BlockName(BlockId id);
// The two ASCII characters of a type in S7 services: '0' and the hex digit of the type ("0A" for DB).
std::optional<std::uint8_t> TypeFromChars(std::uint8_t first, std::uint8_t second);
// Two type characters followed by five decimal digits ("0A00100"); nullopt when malformed.
std::optional<BlockId> ParseBlockName(ByteView seven);
// "0A00100" (number modulo 100000).
std::string FormatBlockName(BlockId id);

// The code part of an image (for a data block: its current values); empty when the header is unreadable.
ByteView CodePart(ByteView image);

class Program {
public:
    const Bytes* Find(BlockId id) const;
    Bytes* FindMutable(BlockId id);
    void Put(BlockId id, Bytes image) { blocks_[id] = std::move(image); }
    bool Erase(BlockId id) { return blocks_.erase(id) > 0; }
    void Clear() { blocks_.clear(); }
    std::vector<std::uint16_t> Numbers(std::uint8_t type) const;
    std::size_t Count(std::uint8_t type) const;
    std::size_t TotalBytes() const;
    std::size_t Size() const { return blocks_.size(); }
    const std::map<BlockId, Bytes>& Blocks() const { return blocks_; }

private:
    std::map<BlockId, Bytes> blocks_;
};

// Writes one file per block, "<TYPE><number>.blk", and removes .blk files of blocks no longer present.
// Returns false and a reason when the directory cannot be created or a file cannot be written.
bool DumpProgram(const Program& program, const std::filesystem::path& directory, std::string* error);

}  // namespace vaultra::sim::s7
