// The block tables of a project folder: SUBBLK.DBF (one record per block with its parts as memos) and
// BAUSTEIN.DBF (one record per block listing its SUBBLK records), and baustein.id.
#pragma once

#include <filesystem>

#include "s7project/block_image.h"
#include "s7project/project_io.h"

namespace vaultra::s7project {

// Stores every block of the list except system data blocks and blocks whose attribute bit 0 is clear.
// Records of blocks the list no longer holds get the deletion flag; a block that returns takes its
// record again.
// `folder` is OMBSTX/OFFLINE/<OfflineFolder>. False when a table, memo or baustein.id could not be
// written, or a block image was shorter than its header announces (such a block is not stored).
bool WriteBlockTables(ProjectIo& io, const std::filesystem::path& folder, const BlockList& blocks);

// Appends the blocks of SUBBLK.DBF in record order (the layout this station writes). Returns the number
// of block records that could not be rebuilt whole (they are left out).
std::size_t ReadSubblockTable(const std::filesystem::path& folder, BlockList& blocks);

// Appends the blocks of the deleted SUBBLK.DBF records (blocks gone from the PLC at the last backup).
std::size_t ReadDeletedSubblocks(const std::filesystem::path& folder, BlockList& blocks);

// Appends the blocks of an older project that keeps them in BAUSTEIN.DBF, in ascending type order.
// Returns the number of block records that could not be rebuilt whole.
std::size_t ReadOlderBlockTable(const std::filesystem::path& folder, BlockList& blocks);

}  // namespace vaultra::s7project
