#include "s7project/block_image.h"

#include <algorithm>
#include <stdexcept>

#include <vaultra/byte_order.h>

namespace vaultra::s7project {

namespace {

struct TypeCodeEntry {
    std::uint8_t subblockType;
    std::uint8_t code;
};

constexpr std::array<TypeCodeEntry, 33> kTypeCodes{{
    {1, 0xE1},  {3, 0xF3},  {4, 0x0D},  {5, 0xF5},  {6, 0x06},  {7, 0xFC},  {8, 0x10},
    {9, 0xFF},  {10, 0x01}, {11, 0xF7}, {12, 0xF4}, {13, 0xFA}, {14, 0x08}, {15, 0xFD},
    {17, 0x51}, {18, 0x41}, {19, 0xF6}, {20, 0x5B}, {21, 0xFE}, {22, 0xFB}, {25, 0xE4},
    {26, 0xE5}, {27, 0xF2}, {38, 0x64}, {39, 0xE6}, {64, 0xE7}, {65, 0xE8}, {66, 0xE9},
    {67, 0xEA}, {69, 0xEB}, {70, 0xEC}, {71, 0xED}, {0, 0},
}};

// BlockTypeIndex order of the driver interface.
constexpr std::array<std::uint8_t, kBlockTypeIndexCount> kIndexTypes{
    subblock::kDb, subblock::kSdb, subblock::kSfc, subblock::kFb,
    subblock::kOb, subblock::kFc,  subblock::kSfb};
constexpr std::array<std::string_view, kBlockTypeIndexCount> kIndexNames{"DB", "SDB", "SFC", "FB",
                                                                         "OB", "FC",  "SFB"};

Timestamp ReadTimestamp(std::span<const std::uint8_t> image, std::size_t at) {
    Timestamp t{};
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), t.size(), t.begin());
    return t;
}

// Takes up to `wanted` bytes at `pos`, never past `end`.
std::span<const std::uint8_t> TakePart(std::span<const std::uint8_t> image, std::size_t& pos, std::size_t end,
                                       std::size_t wanted, bool& complete) {
    const std::size_t available = pos < end ? end - pos : 0;
    const std::size_t n = std::min(wanted, available);
    if (n < wanted) {
        complete = false;
    }
    auto part = image.subspan(pos, n);
    pos += n;
    return part;
}

}  // namespace

bool HasBlockMarker(std::span<const std::uint8_t> image) {
    return image.size() >= 2 && image[0] == kBlockMarker && image[1] == kBlockMarker;
}

std::optional<BlockHeader> ReadBlockHeader(std::span<const std::uint8_t> image) {
    if (image.size() < kBlockHeaderLength || !HasBlockMarker(image)) {
        return std::nullopt;
    }
    BlockHeader h;
    h.version = image[block_field::kVersion];
    h.attribute = image[block_field::kAttribute];
    h.language = image[block_field::kLanguage];
    h.type = image[block_field::kType];
    h.number = bytes::LoadBe16(image, block_field::kNumber);
    h.loadLength = bytes::LoadBe32(image, block_field::kLoadLength);
    h.securityWord = bytes::LoadBe32(image, block_field::kSecurityWord);
    h.timestamp1 = ReadTimestamp(image, block_field::kTimestamp1);
    h.timestamp2 = ReadTimestamp(image, block_field::kTimestamp2);
    h.ssbLength = bytes::LoadBe16(image, block_field::kSsbLength);
    h.addLength = bytes::LoadBe16(image, block_field::kAddLength);
    h.localDataLength = bytes::LoadBe16(image, block_field::kLocalDataLength);
    h.codeLength = bytes::LoadBe16(image, block_field::kCodeLength);
    return h;
}

void WriteBlockHeader(const BlockHeader& h, std::span<std::uint8_t> out) {
    out[0] = kBlockMarker;
    out[1] = kBlockMarker;
    out[block_field::kVersion] = h.version;
    out[block_field::kAttribute] = h.attribute;
    out[block_field::kLanguage] = h.language;
    out[block_field::kType] = h.type;
    bytes::StoreBe16(out, block_field::kNumber, h.number);
    bytes::StoreBe32(out, block_field::kLoadLength, h.loadLength);
    bytes::StoreBe32(out, block_field::kSecurityWord, h.securityWord);
    std::copy(h.timestamp1.begin(), h.timestamp1.end(), out.begin() + block_field::kTimestamp1);
    std::copy(h.timestamp2.begin(), h.timestamp2.end(), out.begin() + block_field::kTimestamp2);
    bytes::StoreBe16(out, block_field::kSsbLength, h.ssbLength);
    bytes::StoreBe16(out, block_field::kAddLength, h.addLength);
    bytes::StoreBe16(out, block_field::kLocalDataLength, h.localDataLength);
    bytes::StoreBe16(out, block_field::kCodeLength, h.codeLength);
}

std::optional<BlockParts> SplitBlockParts(std::span<const std::uint8_t> image) {
    const auto header = ReadBlockHeader(image);
    if (!header) {
        return std::nullopt;
    }
    BlockParts parts;
    parts.complete = true;
    std::size_t pos = kBlockHeaderLength;
    const std::size_t end = image.size();
    parts.code = TakePart(image, pos, end, header->codeLength, parts.complete);
    parts.interfacePart = TakePart(image, pos, end, header->ssbLength, parts.complete);
    parts.additional = TakePart(image, pos, end, header->addLength, parts.complete);
    if (image.size() >= kBlockHeaderLength + kBlockTrailerLength) {
        parts.trailer = image.subspan(image.size() - kBlockTrailerLength);
    }
    return parts;
}

BlockImage BuildBlockImage(const BlockImageFields& f) {
    constexpr std::size_t kMaxPart = 0xFFFF;
    if (f.code.size() > kMaxPart || f.interfacePart.size() > kMaxPart || f.additional.size() > kMaxPart) {
        throw std::length_error("block part longer than 65535 bytes");
    }
    const std::size_t total = kBlockHeaderLength + f.code.size() + f.interfacePart.size() +
                              f.additional.size() + kBlockTrailerLength;
    BlockImage image(total, 0);
    BlockHeader h = f.header;
    h.loadLength = static_cast<std::uint32_t>(total);
    h.codeLength = static_cast<std::uint16_t>(f.code.size());
    h.ssbLength = static_cast<std::uint16_t>(f.interfacePart.size());
    h.addLength = static_cast<std::uint16_t>(f.additional.size());
    WriteBlockHeader(h, image);
    auto out = image.begin() + kBlockHeaderLength;
    out = std::copy(f.code.begin(), f.code.end(), out);
    out = std::copy(f.interfacePart.begin(), f.interfacePart.end(), out);
    out = std::copy(f.additional.begin(), f.additional.end(), out);
    std::copy(f.trailer.begin(), f.trailer.end(), out);
    return image;
}

std::uint8_t BlockTypeCode(std::uint8_t subblockType) {
    for (const auto& e : kTypeCodes) {
        if (e.code != 0 && e.subblockType == subblockType) {
            return e.code;
        }
    }
    return 0;
}

bool HasDirectoryRecord(std::uint8_t code) {
    constexpr std::array<std::uint8_t, 8> kCodes{0x01, 0x08, 0x10, 0xF2, 0xF4, 0xF7, 0xFA, 0xFD};
    return std::find(kCodes.begin(), kCodes.end(), code) != kCodes.end();
}

std::optional<std::uint8_t> SubblockTypeOfIndex(int blockTypeIndex) {
    if (blockTypeIndex < 0 || blockTypeIndex >= kBlockTypeIndexCount) {
        return std::nullopt;
    }
    return kIndexTypes[static_cast<std::size_t>(blockTypeIndex)];
}

std::optional<int> BlockTypeIndexOf(std::uint8_t subblockType) {
    for (std::size_t i = 0; i < kIndexTypes.size(); ++i) {
        if (kIndexTypes[i] == subblockType) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

std::string_view BlockTypeName(std::uint8_t subblockType) {
    const auto index = BlockTypeIndexOf(subblockType);
    return index ? kIndexNames[static_cast<std::size_t>(*index)] : std::string_view{};
}

}  // namespace vaultra::s7project
