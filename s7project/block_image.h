// S7 block images: the load-memory image of one block as uploaded from and downloaded to the PLC.
//
//   0  2  0x70 0x70             16  6  time stamp 1 (code)
//   2  1  version               22  6  time stamp 2 (interface)
//   3  1  attribute (bit 0)     28  2  SSB length (interface part)
//   4  1  language              30  2  ADD length (additional part)
//   5  1  subblock type         32  2  local data length
//   6  2  block number          34  2  code length
//   8  4  load length           36  .. code part, interface part, additional part
//  12  4  security word         end-36  36-byte trailer
//
// Every multi-byte value is big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vaultra::s7project {

inline constexpr std::size_t kBlockHeaderLength = 36;
inline constexpr std::size_t kBlockTrailerLength = 36;
inline constexpr std::uint8_t kBlockMarker = 0x70;
// Upper bound for an image rebuilt from stored lengths; far above any real block.
inline constexpr std::uint32_t kMaxBlockImageLength = 16U * 1024U * 1024U;

// Offsets of the header fields.
namespace block_field {
inline constexpr std::size_t kVersion = 2;
inline constexpr std::size_t kAttribute = 3;
inline constexpr std::size_t kLanguage = 4;
inline constexpr std::size_t kType = 5;
inline constexpr std::size_t kNumber = 6;
inline constexpr std::size_t kLoadLength = 8;
inline constexpr std::size_t kSecurityWord = 12;
inline constexpr std::size_t kTimestamp1 = 16;
inline constexpr std::size_t kTimestamp2 = 22;
inline constexpr std::size_t kSsbLength = 28;
inline constexpr std::size_t kAddLength = 30;
inline constexpr std::size_t kLocalDataLength = 32;
inline constexpr std::size_t kCodeLength = 34;
}  // namespace block_field

// Offsets within the 36-byte trailer. Bytes 25 and 28-35 carry no field of their own.
namespace trailer_field {
inline constexpr std::size_t kNameLength = 8;
inline constexpr std::size_t kAuthor = 0;
inline constexpr std::size_t kFamily = 8;
inline constexpr std::size_t kName = 16;
inline constexpr std::size_t kVersion = 24;
inline constexpr std::size_t kChecksum = 26;  // 2 bytes
}  // namespace trailer_field

// Subblock types of the block kinds the station stores.
namespace subblock {
inline constexpr std::uint8_t kOb = 8;
inline constexpr std::uint8_t kDb = 10;
inline constexpr std::uint8_t kSdb = 11;
inline constexpr std::uint8_t kFc = 12;
inline constexpr std::uint8_t kSfc = 13;
inline constexpr std::uint8_t kFb = 14;
inline constexpr std::uint8_t kSfb = 15;
}  // namespace subblock

using Timestamp = std::array<std::uint8_t, 6>;
using BlockImage = std::vector<std::uint8_t>;
// Ordered block images: what a backup uploads and the project writer stores, and what the reader returns.
using BlockList = std::vector<BlockImage>;

// The decoded 36-byte header.
struct BlockHeader {
    std::uint8_t version = 1;
    std::uint8_t attribute = 1;
    std::uint8_t language = 1;
    std::uint8_t type = 0;
    std::uint16_t number = 0;
    std::uint32_t loadLength = 0;
    std::uint32_t securityWord = 0;
    Timestamp timestamp1{};
    Timestamp timestamp2{};
    std::uint16_t ssbLength = 0;
    std::uint16_t addLength = 0;
    std::uint16_t localDataLength = 0;
    std::uint16_t codeLength = 0;
};

// True when the image starts with 0x70 0x70.
bool HasBlockMarker(std::span<const std::uint8_t> image);
// The header, or nothing when the image is shorter than 36 bytes or lacks the marker.
std::optional<BlockHeader> ReadBlockHeader(std::span<const std::uint8_t> image);
// Writes the 36 header bytes (marker included) into out[0..35]; out must hold at least 36 bytes.
void WriteBlockHeader(const BlockHeader& header, std::span<std::uint8_t> out);

// The three parts and the trailer of an image. Each part is cut to the bytes the image really holds,
// so a short or inconsistent image never yields a view outside it; `complete` tells whether all
// announced bytes were there.
struct BlockParts {
    std::span<const std::uint8_t> code;
    std::span<const std::uint8_t> interfacePart;
    std::span<const std::uint8_t> additional;
    std::span<const std::uint8_t> trailer;  // the last 36 bytes, empty when the image is shorter than 72
    bool complete = false;
};
// Splits an image whose header is readable; nothing otherwise.
std::optional<BlockParts> SplitBlockParts(std::span<const std::uint8_t> image);

// Fields from which BuildBlockImage makes a consistent image. The length fields of `header` (load,
// code, SSB and ADD length) are ignored: they are taken from the parts.
struct BlockImageFields {
    BlockHeader header;
    std::vector<std::uint8_t> code;
    std::vector<std::uint8_t> interfacePart;
    std::vector<std::uint8_t> additional;
    std::array<std::uint8_t, kBlockTrailerLength> trailer{};
};
// Header, parts in the order code, interface, additional, then the trailer; load length = whole size.
// Throws std::length_error when a part exceeds 65535 bytes.
BlockImage BuildBlockImage(const BlockImageFields& fields);

// ---- Block type tables ----

// One-byte block type code of a subblock type (0xE1 for 1 ... 0xFD for 15 SFB); 0 when the type has none.
std::uint8_t BlockTypeCode(std::uint8_t subblockType);
// True for the codes that get a record in the block directory table (DB, FB, OB, 0xF2, FC, SDB, SFC, SFB).
bool HasDirectoryRecord(std::uint8_t blockTypeCode);

// The driver interface's type numbering 0..6: DB, SDB, SFC, FB, OB, FC, SFB.
inline constexpr int kBlockTypeIndexCount = 7;
// Subblock type of a BlockTypeIndex; nothing outside 0..6.
std::optional<std::uint8_t> SubblockTypeOfIndex(int blockTypeIndex);
// BlockTypeIndex of a subblock type; nothing for types outside the seven.
std::optional<int> BlockTypeIndexOf(std::uint8_t subblockType);
// Short name ("OB", "DB", "SDB", ...) of a subblock type; empty for other types.
std::string_view BlockTypeName(std::uint8_t subblockType);

}  // namespace vaultra::s7project
