#include "s5file/directory.h"

#include <algorithm>

namespace vaultra::qrf {

namespace {

constexpr std::array<uint8_t, 7> kSevenBlanks{' ', ' ', ' ', ' ', ' ', ' ', ' '};

// Entry layouts as written below: three links, then the entry's own fields.
constexpr size_t kLinksSize = 3 * 2;
static_assert(kGroupEntrySize == kLinksSize + 1 + 1 + kSevenBlanks.size() + 2 + 2);
static_assert(kBlockEntrySize == kLinksSize + 1 + 4 + 2 + 2);
static_assert(kDocumentationEntrySize == kLinksSize + 1 + kBlockNameLength + 2 + 2);

void WriteLinks(ByteWriter& out, const TreeLinks& links) {
    out.U16(links.parent);
    out.U16(links.right);
    out.U16(links.left);
}

TreeLinks ReadLinks(ByteReader& in) {
    TreeLinks links;
    links.parent = in.U16();
    links.right = in.U16();
    links.left = in.U16();
    return links;
}

void WriteBlockEntry(ByteWriter& out, const BlockEntry& entry, bool documentation) {
    WriteLinks(out, entry.links);
    if (documentation) {
        out.U8(entry.spare);
        out.Bytes(entry.name);
    } else {
        out.U8(entry.number);
        out.Bytes(entry.header);
    }
    out.U16(entry.length);
    out.U16(entry.offset);
}

BlockEntry ReadBlockEntry(ByteReader& in, bool documentation) {
    BlockEntry entry;
    entry.links = ReadLinks(in);
    if (documentation) {
        entry.spare = in.U8();
        in.Bytes(entry.name);
        entry.treeKey = NameKey(entry.name);
    } else {
        entry.number = in.U8();
        in.Bytes(entry.header);
        entry.treeKey = entry.number;
    }
    entry.length = in.U16();
    entry.offset = in.U16();
    return entry;
}

}  // namespace

uint64_t NameKey(const BlockName& name) {
    uint64_t key = 0;
    for (uint8_t byte : name) {
        key = key << 8 | byte;
    }
    return key;
}

BlockName FileNameField(std::string_view baseName) {
    // Windows-1252 shares its printable range above 0xA0 with Latin-1; anything else becomes '_'.
    BlockName field{};
    size_t used = 0;
    for (size_t i = 0; i < baseName.size() && used < field.size(); ++i) {
        const auto byte = static_cast<uint8_t>(baseName[i]);
        if (byte < 0x80) {
            field[used++] = byte;
            continue;
        }
        const bool latin1 = (byte == 0xC2 || byte == 0xC3) && i + 1 < baseName.size();
        const auto next = latin1 ? static_cast<uint8_t>(baseName[i + 1]) : uint8_t{0};
        if (latin1 && (byte == 0xC3 || next >= 0xA0) && (next & 0xC0) == 0x80) {
            field[used++] = static_cast<uint8_t>((byte & 0x03) << 6 | (next & 0x3F));
            ++i;
        } else {
            field[used++] = '_';
            while (i + 1 < baseName.size() && (static_cast<uint8_t>(baseName[i + 1]) & 0xC0) == 0x80) {
                ++i;
            }
        }
    }
    return field;
}

RootDirectory NewRoot(const BlockName& fileName) {
    RootDirectory root;
    StoreU16(root.header, root_field::kMarker, 1);
    std::copy(fileName.begin(), fileName.end(), root.header.begin() + root_field::kName);
    return root;
}

Group NewGroup(uint8_t code, const RootDirectory& root) {
    Group group;
    group.code = code;
    group.treeKey = code;
    group.blanks = kSevenBlanks;
    const auto name = root.header.begin() + root_field::kName;
    std::copy(name, name + kBlockNameLength, group.dirHeader.begin() + group_field::kName);
    group.dirHeader[group_field::kCode] = code;
    std::copy(kSevenBlanks.begin(), kSevenBlanks.end(), group.dirHeader.begin() + group_field::kBlanks);
    StoreU16(group.dirHeader, group_field::kKind,
             group.IsDocumentation() ? kDocumentationGroupKind : kBlockGroupKind);
    return group;
}

std::vector<uint8_t> EncodeRoot(const RootDirectory& root) {
    std::vector<uint8_t> bytes(static_cast<size_t>(root.rootSectors) * 128, 0);
    ByteWriter out(bytes);
    out.Bytes(root.header);
    StoreU16(bytes, root_field::kRootSectors, root.rootSectors);
    StoreU16(bytes, root_field::kFileSectors, root.fileSectors);
    StoreU16(bytes, root_field::kGroupCount, static_cast<uint16_t>(root.groups.size()));
    for (const Group& group : root.groups) {
        WriteLinks(out, group.links);
        out.U8(group.one);
        out.U8(group.code);
        out.Bytes(group.blanks);
        out.U16(group.dirSectors);
        out.U16(group.firstSector);
    }
    return bytes;
}

std::vector<uint8_t> EncodeGroup(const Group& group) {
    std::vector<uint8_t> bytes(static_cast<size_t>(group.dirSectors) * 128, 0);
    ByteWriter out(bytes);
    out.Bytes(group.dirHeader);
    StoreU16(bytes, group_field::kDirSectors, group.dirSectors);
    StoreU16(bytes, group_field::kAreaSectors, group.areaSectors);
    StoreU16(bytes, group_field::kEntryCount, static_cast<uint16_t>(group.entries.size()));
    for (const BlockEntry& entry : group.entries) {
        WriteBlockEntry(out, entry, group.IsDocumentation());
    }
    return bytes;
}

bool DecodeRootHeader(std::span<const uint8_t> bytes, RootDirectory& root) {
    if (bytes.size() < kHeaderSize) {
        return false;
    }
    std::copy_n(bytes.begin(), kHeaderSize, root.header.begin());
    const auto reserved = bytes.subspan(root_field::kReserved, 6);
    const bool reservedClean =
        std::all_of(reserved.begin(), reserved.end(), [](uint8_t b) { return b == 0 || b == ' '; });
    if (!reservedClean || LoadU16(bytes, root_field::kZero) != 0) {
        return false;
    }
    root.rootSectors = LoadU16(bytes, root_field::kRootSectors);
    root.fileSectors = LoadU16(bytes, root_field::kFileSectors);
    return true;
}

bool DecodeGroupEntries(std::span<const uint8_t> bytes, uint16_t count, RootDirectory& root) {
    if (!DirectoryHolds(static_cast<uint32_t>(bytes.size() / 128), count, kGroupEntrySize)) {
        return false;
    }
    ByteReader in(bytes, kHeaderSize);
    root.groups.assign(count, Group{});
    for (Group& group : root.groups) {
        group.links = ReadLinks(in);
        group.one = in.U8();
        group.code = in.U8();
        group.treeKey = group.code;
        in.Bytes(group.blanks);
        group.dirSectors = in.U16();
        group.firstSector = in.U16();
    }
    return in.ok();
}

bool DecodeGroupDirectory(std::span<const uint8_t> bytes, Group& group) {
    if (bytes.size() < kHeaderSize) {
        return false;
    }
    std::copy_n(bytes.begin(), kHeaderSize, group.dirHeader.begin());
    const uint16_t count = LoadU16(bytes, group_field::kEntryCount);
    group.areaSectors = LoadU16(bytes, group_field::kAreaSectors);
    if (LoadU16(bytes, group_field::kDirSectors) != group.dirSectors ||
        !DirectoryHolds(group.dirSectors, count, group.EntrySize())) {
        return false;
    }
    ByteReader in(bytes, kHeaderSize);
    group.entries.clear();
    group.entries.reserve(count);
    for (uint16_t i = 0; i < count; ++i) {
        group.entries.push_back(ReadBlockEntry(in, group.IsDocumentation()));
    }
    return in.ok();
}

}  // namespace vaultra::qrf
