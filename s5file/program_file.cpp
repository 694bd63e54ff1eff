#include "s5file/program_file.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vaultra::qrf {

namespace {

struct Target {
    uint8_t group;
    uint64_t treeKey;
};

// Where a key lives: documentation blocks under group 32 by name, other blocks under their type code.
std::optional<Target> TargetOf(const BlockKey& key) {
    if (key.documentation != 0) {
        if (!HasDocumentationName(key.type)) {
            return std::nullopt;
        }
        return Target{kDocumentationGroup, NameKey(NameOf(key))};
    }
    if (key.type == kDocumentationGroup) {
        return std::nullopt;
    }
    return Target{key.type, key.number};
}

BlockEntry EntryFor(const BlockKey& key) {
    BlockEntry entry;
    entry.length = key.length;
    if (key.documentation != 0) {
        entry.name = NameOf(key);
        entry.treeKey = NameKey(entry.name);
    } else {
        entry.number = key.number;
        entry.header = {key.headerByte4, key.headerMore[0], key.headerMore[1], key.headerMore[2]};
        entry.treeKey = key.number;
    }
    return entry;
}

BlockKey KeyOf(const Group& group, const BlockEntry& entry) {
    BlockKey key{};
    key.length = entry.length;
    if (group.IsDocumentation()) {
        key.type = DocumentationTypeOf(entry.name);
        key.number = DocumentationNumberOf(entry.name);
        key.documentation = 1;
    } else {
        key.type = group.code;
        key.number = entry.number;
        key.headerByte4 = entry.header[0];
        std::copy(entry.header.begin() + 1, entry.header.end(), key.headerMore);
    }
    return key;
}

// Sector ranges [first, first + count) must not overlap.
bool RangesAreDisjoint(std::vector<std::pair<uint32_t, uint32_t>> ranges) {
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i - 1].first + ranges[i - 1].second > ranges[i].first) {
            return false;
        }
    }
    return true;
}

}  // namespace

OpenResult ProgramFile::Open(const std::filesystem::path& path, Mode mode) {
    std::unique_ptr<FileStore> store;
    switch (FileStore::Open(path, mode == Mode::kUpdateOrCreate, store)) {
        case FileStore::OpenResult::kOpened:
            return Open(std::move(store), path.stem().string(), mode);
        case FileStore::OpenResult::kNotFound:
            return {nullptr, Error::kFileNotFound};
        case FileStore::OpenResult::kAccessDenied:
            return {nullptr, Error::kAccessDenied};
        case FileStore::OpenResult::kFailed:
            break;
    }
    return {nullptr, Error::kOpenFailed};
}

OpenResult ProgramFile::Open(std::unique_ptr<ByteStore> store, std::string_view fileName, Mode mode) {
    try {
        const uint64_t bytes = store->Size();
        const auto sectors = static_cast<uint32_t>(std::min<uint64_t>(bytes / kSectorSize, kMaxSectors));
        auto file = std::make_unique<ProgramFile>(PrivateTag{}, std::move(store), sectors);
        Error error = Error::kNotAProgramFile;
        if (bytes > 0) {
            error = file->Load(bytes);
        } else if (mode == Mode::kUpdateOrCreate) {
            error = file->CreateFresh(fileName);
        }
        if (error != Error::kNone) {
            return {nullptr, error};
        }
        return {std::move(file), Error::kNone};
    } catch (const std::bad_alloc&) {
        return {nullptr, Error::kOutOfMemory};
    }
}

Error ProgramFile::CreateFresh(std::string_view fileName) {
    if (!io_.Writable()) {
        return Error::kAccessDenied;
    }
    root_ = NewRoot(FileNameField(fileName));
    if (!io_.Insert(0, kMinDirectorySectors)) {
        return Error::kWriteFailed;
    }
    return Commit(std::nullopt);
}

Error ProgramFile::Load(uint64_t storedBytes) {
    std::vector<uint8_t> head(kMinDirectorySectors * kSectorSize);
    if (storedBytes < head.size()) {
        return Error::kNotAProgramFile;
    }
    if (!io_.Read(0, head)) {
        return Error::kReadFailed;
    }
    if (!DecodeRootHeader(head, root_) || root_.rootSectors < kMinDirectorySectors ||
        root_.fileSectors < root_.rootSectors || root_.fileSectors > io_.Sectors()) {
        return Error::kNotAProgramFile;
    }
    io_.Adopt(root_.fileSectors);
    std::vector<uint8_t> rootBytes(static_cast<size_t>(root_.rootSectors) * kSectorSize);
    if (!io_.Read(0, rootBytes)) {
        return Error::kReadFailed;
    }
    if (!DecodeGroupEntries(rootBytes, LoadU16(head, root_field::kGroupCount), root_)) {
        return Error::kNotAProgramFile;
    }
    for (Group& group : root_.groups) {
        if (group.dirSectors == 0 || group.firstSector < root_.rootSectors ||
            static_cast<uint32_t>(group.firstSector) + group.dirSectors > root_.fileSectors) {
            return Error::kNotAProgramFile;
        }
        std::vector<uint8_t> dirBytes(static_cast<size_t>(group.dirSectors) * kSectorSize);
        if (!io_.Read(group.firstSector, dirBytes)) {
            return Error::kReadFailed;
        }
        if (!DecodeGroupDirectory(dirBytes, group) || !GroupIsSound(group)) {
            return Error::kNotAProgramFile;
        }
    }
    return LayoutIsSound() ? Error::kNone : Error::kNotAProgramFile;
}

// Every block lies inside its group area behind the directory, without overlap, under a sound tree.
bool ProgramFile::GroupIsSound(const Group& group) const {
    if (group.areaSectors < group.dirSectors ||
        static_cast<uint32_t>(group.firstSector) + group.areaSectors > root_.fileSectors) {
        return false;
    }
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const BlockEntry& entry : group.entries) {
        const uint32_t sectors = SectorsFor(entry.length);
        if (entry.offset < group.dirSectors || entry.offset + sectors > group.areaSectors) {
            return false;
        }
        ranges.emplace_back(entry.offset, sectors);
    }
    return RangesAreDisjoint(std::move(ranges)) && TreeIsValid(group.entries);
}

bool ProgramFile::LayoutIsSound() const {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const Group& group : root_.groups) {
        ranges.emplace_back(group.firstSector, group.areaSectors);
    }
    return RangesAreDisjoint(std::move(ranges)) && TreeIsValid(root_.groups);
}

std::optional<size_t> ProgramFile::FindGroup(uint8_t code) const {
    return TreeFind(root_.groups, code);
}

std::optional<ProgramFile::Location> ProgramFile::Find(const BlockKey& key) const {
    const auto target = TargetOf(key);
    const auto group = target ? FindGroup(target->group) : std::nullopt;
    if (!group) {
        return std::nullopt;
    }
    const auto entry = TreeFind(root_.groups[*group].entries, target->treeKey);
    if (!entry) {
        return std::nullopt;
    }
    return Location{*group, *entry};
}

std::vector<BlockKey> ProgramFile::BlockList(size_t* unlisted) const {
    std::vector<BlockKey> list;
    size_t left = 0;
    if (unlisted != nullptr) {
        *unlisted = 0;
    }
    const auto groups = TreeInOrder(root_.groups);
    if (!groups) {
        return list;
    }
    for (size_t g : *groups) {
        const Group& group = root_.groups[g];
        const auto entries = TreeInOrder(group.entries);
        if (!entries) {
            continue;
        }
        for (size_t e : *entries) {
            const BlockKey key = KeyOf(group, group.entries[e]);
            // Only what its key finds again is listed: a name not in the standard form, a second entry under
            // the same key or one a damaged tree hides cannot be read or deleted by the key it would be
            // listed under.
            const auto at = Find(key);
            const bool reachable = at && at->group == g && at->entry == e;
            if (!reachable || (group.IsDocumentation() && NameOf(key) != group.entries[e].name)) {
                ++left;
                continue;
            }
            list.push_back(key);
        }
    }
    if (unlisted != nullptr) {
        *unlisted = left;
    }
    return list;
}

Error ProgramFile::ReadBlock(BlockKey& key, std::vector<uint8_t>& sectors) const {
    if (damaged_) {
        return Error::kReadFailed;
    }
    const auto at = Find(key);
    if (!at) {
        return Error::kBlockNotFound;
    }
    const Group& group = root_.groups[at->group];
    const BlockEntry& entry = group.entries[at->entry];
    sectors.assign(SectorsFor(entry.length) * kSectorSize, 0);
    if (!io_.Read(group.firstSector + entry.offset, sectors)) {
        return Error::kReadFailed;
    }
    const BlockKey stored = KeyOf(group, entry);
    key.length = stored.length;
    key.headerByte4 = stored.headerByte4;
    std::copy_n(stored.headerMore, 3, key.headerMore);
    return Error::kNone;
}

template <class Change>
Error ProgramFile::Guarded(Change change) {
    if (damaged_) {
        return Error::kWriteFailed;
    }
    if (!io_.Writable()) {
        return Error::kAccessDenied;
    }
    // Once a change failed half-way the directories in memory no longer match the file.
    try {
        const Error result = change();
        damaged_ = result != Error::kNone;
        return result;
    } catch (const std::bad_alloc&) {
        damaged_ = true;
        return Error::kOutOfMemory;
    }
}

Error ProgramFile::WriteBlock(const BlockKey& key, std::span<const uint8_t> data) {
    const uint32_t sectors = SectorsFor(key.length);
    // Worst case growth: a root sector, a new group directory, a directory sector and the block.
    if (data.size() < key.length || !TargetOf(key) || io_.Sectors() + 4 + sectors > kMaxSectors) {
        return Error::kWriteFailed;
    }
    std::vector<uint8_t> image(sectors * kSectorSize, 0);
    std::copy_n(data.begin(), key.length, image.begin());
    ApplyHeader(key, image);
    return Guarded([&] { return Store(key, image); });
}

Error ProgramFile::DeleteBlock(const BlockKey& key) {
    const auto at = Find(key);
    if (!at) {
        return Error::kBlockNotFound;
    }
    return Guarded([&] { return RemoveBlock(*at); });
}

Error ProgramFile::Store(const BlockKey& key, std::span<const uint8_t> image) {
    const Target target = *TargetOf(key);
    size_t group = 0;
    if (const auto found = FindGroup(target.group)) {
        group = *found;
    } else if (const Error error = AddGroup(target.group, group); error != Error::kNone) {
        return error;
    }
    const auto entry = TreeFind(root_.groups[group].entries, target.treeKey);
    const Error error = entry ? ReplaceBlock({group, *entry}, key, image) : AppendBlock(group, key, image);
    return error != Error::kNone ? error : Commit(group);
}

Error ProgramFile::AddGroup(uint8_t code, size_t& group) {
    if (!DirectoryHolds(root_.rootSectors, root_.groups.size() + 1, kGroupEntrySize)) {
        if (!InsertSectors(root_.rootSectors, 1)) {
            return Error::kWriteFailed;
        }
        ++root_.rootSectors;
    }
    Group added = NewGroup(code, root_);
    added.firstSector = static_cast<uint16_t>(io_.Sectors());
    if (!io_.Insert(added.firstSector, kMinDirectorySectors)) {
        return Error::kWriteFailed;
    }
    const auto index = TreeInsert(root_.groups, std::move(added));
    if (!index) {
        return Error::kWriteFailed;
    }
    group = *index;
    return Error::kNone;
}

Error ProgramFile::ReplaceBlock(Location at, const BlockKey& key, std::span<const uint8_t> image) {
    Group& group = root_.groups[at.group];
    BlockEntry& entry = group.entries[at.entry];
    const uint32_t oldSectors = SectorsFor(entry.length);
    const auto newSectors = static_cast<uint32_t>(image.size() / kSectorSize);
    const uint32_t start = group.firstSector + entry.offset;
    if (newSectors > oldSectors) {
        if (!InsertSectors(start + oldSectors, newSectors - oldSectors)) {
            return Error::kWriteFailed;
        }
    } else if (newSectors < oldSectors && !RemoveSectors(start + newSectors, oldSectors - newSectors)) {
        return Error::kWriteFailed;
    }
    group.areaSectors = static_cast<uint16_t>(group.areaSectors + newSectors - oldSectors);
    const BlockEntry replaced = EntryFor(key);
    entry.length = replaced.length;
    entry.header = replaced.header;
    return io_.Write(start, image) ? Error::kNone : Error::kWriteFailed;
}

Error ProgramFile::AppendBlock(size_t index, const BlockKey& key, std::span<const uint8_t> image) {
    Group& group = root_.groups[index];
    if (!DirectoryHolds(group.dirSectors, group.entries.size() + 1, group.EntrySize())) {
        if (!InsertSectors(group.firstSector + group.dirSectors, 1)) {
            return Error::kWriteFailed;
        }
        ++group.dirSectors;
        ++group.areaSectors;
    }
    BlockEntry entry = EntryFor(key);
    entry.offset = group.areaSectors;
    const auto sectors = static_cast<uint32_t>(image.size() / kSectorSize);
    if (!InsertSectors(group.firstSector + group.areaSectors, sectors)) {
        return Error::kWriteFailed;
    }
    group.areaSectors = static_cast<uint16_t>(group.areaSectors + sectors);
    if (!TreeInsert(group.entries, entry) || !io_.Write(group.firstSector + entry.offset, image)) {
        return Error::kWriteFailed;
    }
    return Error::kNone;
}

Error ProgramFile::RemoveBlock(Location at) {
    Group& group = root_.groups[at.group];
    if (group.entries.size() == 1) {
        const Error error = RemoveGroup(at.group);
        return error != Error::kNone ? error : Commit(std::nullopt);
    }
    const BlockEntry removed = group.entries[at.entry];
    TreeRemove(group.entries, at.entry);
    const uint32_t sectors = SectorsFor(removed.length);
    if (!RemoveSectors(group.firstSector + removed.offset, sectors)) {
        return Error::kWriteFailed;
    }
    group.areaSectors = static_cast<uint16_t>(group.areaSectors - sectors);
    if (group.dirSectors > kMinDirectorySectors &&
        DirectoryHolds(group.dirSectors - 1u, group.entries.size(), group.EntrySize())) {
        if (!RemoveSectors(group.firstSector + group.dirSectors - 1u, 1)) {
            return Error::kWriteFailed;
        }
        --group.dirSectors;
        --group.areaSectors;
    }
    return Commit(at.group);
}

Error ProgramFile::RemoveGroup(size_t index) {
    const uint32_t first = root_.groups[index].firstSector;
    const uint32_t sectors = root_.groups[index].areaSectors;
    TreeRemove(root_.groups, index);
    if (!RemoveSectors(first, sectors)) {
        return Error::kWriteFailed;
    }
    if (root_.rootSectors > kMinDirectorySectors &&
        DirectoryHolds(root_.rootSectors - 1u, root_.groups.size(), kGroupEntrySize)) {
        if (!RemoveSectors(root_.rootSectors - 1u, 1)) {
            return Error::kWriteFailed;
        }
        --root_.rootSectors;
    }
    return Error::kNone;
}

// `adjust` maps an absolute sector number from before a move to after it; relative numbers in the
// group directories follow the sectors they point at.
template <class Adjust>
void ProgramFile::AdjustSectorNumbers(Adjust adjust) {
    AdjustReferences(root_.header, [&](uint16_t sector) { return static_cast<uint16_t>(adjust(sector)); });
    for (Group& group : root_.groups) {
        const uint32_t oldFirst = group.firstSector;
        group.firstSector = static_cast<uint16_t>(adjust(oldFirst));
        auto relative = [&](uint16_t offset) {
            return static_cast<uint16_t>(adjust(oldFirst + offset) - group.firstSector);
        };
        for (BlockEntry& entry : group.entries) {
            entry.offset = relative(entry.offset);
        }
        AdjustReferences(group.dirHeader, relative);
    }
}

bool ProgramFile::InsertSectors(uint32_t at, uint32_t count) {
    if (!io_.Insert(at, count)) {
        return false;
    }
    AdjustSectorNumbers([=](uint32_t sector) { return sector >= at ? sector + count : sector; });
    return true;
}

bool ProgramFile::RemoveSectors(uint32_t at, uint32_t count) {
    if (!io_.Remove(at, count)) {
        return false;
    }
    AdjustSectorNumbers([=](uint32_t sector) { return sector >= at + count ? sector - count : sector; });
    return true;
}

Error ProgramFile::Commit(std::optional<size_t> changedGroup) {
    root_.fileSectors = static_cast<uint16_t>(io_.Sectors());
    if (changedGroup) {
        const Group& group = root_.groups[*changedGroup];
        if (!io_.Write(group.firstSector, EncodeGroup(group))) {
            return Error::kWriteFailed;
        }
    }
    if (!io_.Write(0, EncodeRoot(root_)) || !io_.Truncate()) {
        return Error::kWriteFailed;
    }
    return Error::kNone;
}

}  // namespace vaultra::qrf
