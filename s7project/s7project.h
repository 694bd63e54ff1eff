// Writing S7 block images into a STEP 7 offline project and reading them back.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "s7project/block_image.h"
#include "s7project/project_io.h"

namespace vaultra::s7project {

// Folder names inside a project that one operation hands to the next: after a restore has read a
// project, the next backup writes into the folders that the restore found.
struct ProjectFolders {
    std::string offlineFolder;  // block folder below OMBSTX/OFFLINE; "00000001" when empty at a write
    std::string sdbFolder;      // system data folder below SDB; "00000001" when empty at a write
};

// What a read learnt about the project besides its blocks (for listings).
struct ProjectInfo {
    int format = 3;           // 3: blocks in SUBBLK.DBF; 2: the older layout with blocks in BAUSTEIN.DBF
    std::string programName;  // NAME of the S7 program record, blanks trimmed; empty when not found
    std::filesystem::path projectDirectory;
    std::size_t unreadableBlocks = 0;  // records or files of blocks that were damaged and left out
    BlockList deletedBlocks;  // kept for blocks deleted in the PLC before the last backup; never restored
    std::string failure;      // why a read failed, for the operator
};

// Creates or refreshes the project named by `projectFile` (an empty path means "NONAME.S7P") from the
// block images in `blocks`. The updated project is built beside the stored one and swapped in whole, so
// a write that fails (or is killed) leaves the stored project as it was; false then. Memo files keep only
// the memos the records refer to, so repeated backups of one program do not grow the project.
bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks,
                    ProjectFolders& folders);
// The same with every file operation going through `io`.
bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks,
                    ProjectFolders& folders, ProjectIo& io);

// Offsets within the block's 36-byte trailer of the non-zero bytes a project has no field for: they read
// back as zero (author, family, name, version and checksum are kept; system data blocks are kept whole).
std::vector<std::size_t> TrailerBytesNotKept(std::span<const std::uint8_t> image);

// Puts right what a killed write left beside the project (done by every write as well); false when a
// leftover could not be removed.
bool RecoverS7Project(const std::filesystem::path& projectFile);

// Appends the blocks stored in the project to `blocks`: system data blocks first, then the other blocks
// in table order. Returns false when the project's block container table is missing or unreadable.
// Damaged records are skipped; a block is only returned when it could be rebuilt whole.
bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks, ProjectFolders& folders,
                   ProjectInfo* info = nullptr);

// The same with one folder state shared by the whole program (thread-safe).
bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks);
bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks);

}  // namespace vaultra::s7project
