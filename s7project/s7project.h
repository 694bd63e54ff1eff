// Writing S7 block images into a STEP 7 offline project and reading them back.
#pragma once

#include <filesystem>
#include <string>

#include "s7project/block_image.h"

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
};

// Creates or refreshes the project named by `projectFile` (an empty path means "NONAME.S7P") from the
// block images in `blocks`. Returns false when any file of the project could not be created or written
// completely; the files that could be written are left in place.
bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks,
                    ProjectFolders& folders);

// Appends the blocks stored in the project to `blocks`: system data blocks first, then the other blocks
// in table order. Returns false when the project's block container table is missing or unreadable.
// Damaged records are skipped; a block is only returned when it could be rebuilt whole.
bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks, ProjectFolders& folders,
                   ProjectInfo* info = nullptr);

// The same with one folder state shared by the whole program (thread-safe).
bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks);
bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks);

}  // namespace vaultra::s7project
