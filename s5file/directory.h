// The root directory and the group directories of an S5 program file: their byte layouts and the
// in-memory form the library works on.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "s5file/block_names.h"
#include "s5file/byte_codec.h"
#include "s5file/search_tree.h"

namespace vaultra::qrf {

// Both directory kinds start with a 66-byte header; these are its fields.
namespace root_field {
inline constexpr size_t kMarker = 0;        // 16 bit, 1
inline constexpr size_t kReserved = 2;      // 6 bytes, zero or blanks
inline constexpr size_t kName = 8;          // 8 bytes, zero padded
inline constexpr size_t kZero = 16;         // 16 bit, 0
inline constexpr size_t kRootSectors = 18;  // 16 bit
inline constexpr size_t kFileSectors = 20;  // 16 bit
inline constexpr size_t kGroupCount = 22;   // 16 bit
}  // namespace root_field

namespace group_field {
inline constexpr size_t kName = 0;          // 8 bytes, the root's file name
inline constexpr size_t kCode = 8;          // group type code
inline constexpr size_t kBlanks = 9;        // 7 blanks
inline constexpr size_t kKind = 16;         // 16 bit: 0x0101 block group, 1 documentation group
inline constexpr size_t kDirSectors = 18;   // 16 bit
inline constexpr size_t kAreaSectors = 20;  // 16 bit, directory plus block data
inline constexpr size_t kEntryCount = 22;   // 16 bit
}  // namespace group_field

inline constexpr size_t kReferenceFlags = 26;    // ten 16-bit flags
inline constexpr size_t kReferenceSectors = 46;  // ten 16-bit sector numbers
inline constexpr size_t kReferenceCount = 10;
inline constexpr size_t kHeaderSize = 66;
static_assert(kReferenceSectors == kReferenceFlags + 2 * kReferenceCount);
static_assert(kHeaderSize == kReferenceSectors + 2 * kReferenceCount);

inline constexpr size_t kGroupEntrySize = 19;
inline constexpr size_t kBlockEntrySize = 15;
inline constexpr size_t kDocumentationEntrySize = 19;
inline constexpr uint16_t kMinDirectorySectors = 2;
inline constexpr uint16_t kBlockGroupKind = 0x0101;
inline constexpr uint16_t kDocumentationGroupKind = 1;

using DirectoryHeader = std::array<uint8_t, kHeaderSize>;

// One block of a group: block groups key it by number, the documentation group by its 8-character name.
struct BlockEntry {
    TreeLinks links;
    uint8_t number = 0;               // block group: block number
    uint8_t spare = 0;                // documentation group: the byte before the name
    std::array<uint8_t, 4> header{};  // block group: header byte 4 and three further header bytes
    BlockName name{};                 // documentation group
    uint16_t length = 0;              // bytes
    uint16_t offset = 0;              // first sector, relative to the group directory
    uint64_t treeKey = 0;
};

struct Group {
    TreeLinks links;
    uint8_t one = 1;
    uint8_t code = 0;
    std::array<uint8_t, 7> blanks{};
    uint16_t dirSectors = kMinDirectorySectors;
    uint16_t firstSector = 0;
    DirectoryHeader dirHeader{};  // kept as read, fields patched when written
    uint16_t areaSectors = kMinDirectorySectors;
    std::vector<BlockEntry> entries;
    uint64_t treeKey = 0;

    bool IsDocumentation() const { return code == kDocumentationGroup; }
    size_t EntrySize() const { return IsDocumentation() ? kDocumentationEntrySize : kBlockEntrySize; }
};

struct RootDirectory {
    DirectoryHeader header{};
    uint16_t rootSectors = kMinDirectorySectors;
    uint16_t fileSectors = kMinDirectorySectors;
    std::vector<Group> groups;
};

// Key of a documentation entry in its tree: the name compared bytewise.
uint64_t NameKey(const BlockName& name);

// Whether a directory of `sectors` sectors holds `entries` entries of `entrySize` bytes.
constexpr bool DirectoryHolds(uint32_t sectors, size_t entries, size_t entrySize) {
    return kHeaderSize + entries * entrySize <= static_cast<size_t>(sectors) * 128;
}

// The 8 bytes stored as the file name: the path's base name, zero padded.
BlockName FileNameField(std::string_view baseName);

RootDirectory NewRoot(const BlockName& fileName);
Group NewGroup(uint8_t code, const RootDirectory& root);

std::vector<uint8_t> EncodeRoot(const RootDirectory& root);
std::vector<uint8_t> EncodeGroup(const Group& group);

// The root header check of the open: bytes 2-7 zero or blank, word 16 zero; sizes read.
bool DecodeRootHeader(std::span<const uint8_t> bytes, RootDirectory& root);
// The group entries behind the header (`bytes` is the whole root directory).
bool DecodeGroupEntries(std::span<const uint8_t> bytes, uint16_t count, RootDirectory& root);
// A group directory (`bytes` covers its dirSectors sectors); sizes and entries read.
bool DecodeGroupDirectory(std::span<const uint8_t> bytes, Group& group);

// Rewrites every reference sector whose flag is set through `adjust`.
template <class Adjust>
void AdjustReferences(DirectoryHeader& header, Adjust adjust) {
    for (size_t i = 0; i < kReferenceCount; ++i) {
        if (LoadU16(header, kReferenceFlags + 2 * i) != 0) {
            const size_t at = kReferenceSectors + 2 * i;
            StoreU16(header, at, adjust(LoadU16(header, at)));
        }
    }
}

}  // namespace vaultra::qrf
