// An open S5 program file: root directory, group directories and block data, kept contiguous and
// truncated after every change.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include <vaultra/records.h>

#include "s5file/directory.h"
#include "s5file/sector_file.h"

namespace vaultra::qrf {

// The library's internal error codes.
enum class Error : int {
    kNone = 0,
    kRenameOrDelete = 1,
    kFileNotFound = 2,
    kAccessDenied = 4,
    kOpenFailed = 5,
    kReadFailed = 7,
    kWriteFailed = 8,
    kOutOfMemory = 9,
    kBlockNotFound = 10,
    kNotAProgramFile = 11,  // the directories are damaged or the file is something else
};

class ProgramFile;

struct OpenResult {
    std::unique_ptr<ProgramFile> file;
    Error error = Error::kNone;
};

class ProgramFile {
public:
    enum class Mode {
        kUpdateOrCreate,  // the library's open: create when missing, fresh root when empty
        kReadExisting,    // inspection: never creates or changes anything
    };

    // Tag that keeps construction to Open().
    class PrivateTag {
        friend class ProgramFile;
        PrivateTag() = default;
    };
    ProgramFile(PrivateTag, std::unique_ptr<ByteStore> store, uint32_t sectors)
        : io_(std::move(store), sectors) {}

    // An existing file is found also when its name differs in case.
    static OpenResult Open(const std::filesystem::path& path, Mode mode);
    // Opens over any byte store; `fileName` goes into a fresh root.
    static OpenResult Open(std::unique_ptr<ByteStore> store, std::string_view fileName, Mode mode);

    // Every block: groups by ascending type code, blocks by ascending number or name. A documentation
    // block whose stored name is not in the standard form cannot be reached by any key: it is left out
    // and counted in *unlisted.
    std::vector<BlockKey> BlockList(size_t* unlisted = nullptr) const;
    // Completes `key` (length, header bytes) and returns the block's sectors.
    Error ReadBlock(BlockKey& key, std::vector<uint8_t>& sectors) const;
    // Stores `data` (key.length bytes, header area included) under `key`, replacing a block of the same key.
    Error WriteBlock(const BlockKey& key, std::span<const uint8_t> data);
    Error DeleteBlock(const BlockKey& key);

    const RootDirectory& root() const { return root_; }
    bool writable() const { return io_.Writable(); }

private:
    struct Location {
        size_t group;
        size_t entry;
    };

    Error Load(uint64_t storedBytes);
    Error CreateFresh(std::string_view fileName);
    bool GroupIsSound(const Group& group) const;
    bool LayoutIsSound() const;

    std::optional<size_t> FindGroup(uint8_t code) const;
    std::optional<Location> Find(const BlockKey& key) const;

    Error Store(const BlockKey& key, std::span<const uint8_t> image);
    Error AddGroup(uint8_t code, size_t& group);
    Error ReplaceBlock(Location at, const BlockKey& key, std::span<const uint8_t> image);
    Error AppendBlock(size_t group, const BlockKey& key, std::span<const uint8_t> image);
    Error RemoveBlock(Location at);
    Error RemoveGroup(size_t group);

    bool InsertSectors(uint32_t at, uint32_t count);
    bool RemoveSectors(uint32_t at, uint32_t count);
    template <class Adjust>
    void AdjustSectorNumbers(Adjust adjust);

    Error Commit(std::optional<size_t> changedGroup);
    template <class Change>
    Error Guarded(Change change);

    SectorFile io_;
    RootDirectory root_;
    bool damaged_ = false;  // a failed change left the file and the directories out of step
};

// Rewrites the file through "<stem>.BAK" in block list order; the original stays untouched on failure.
Error CompactFile(const std::filesystem::path& path);

}  // namespace vaultra::qrf
