// System data blocks: one .PG file each under SDB/00000001 and the system data tables that list them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "s7project/block_image.h"
#include "s7project/project_io.h"

namespace vaultra::s7project {

inline constexpr std::size_t kPgHeaderLength = 78;
inline constexpr std::string_view kSdbFilesFolder = "00000001";

// The .PG file of a system data block; nothing when the image is shorter than its load length or the
// load length leaves no room for header and trailer.
std::optional<std::vector<std::uint8_t>> EncodeSystemDataFile(std::span<const std::uint8_t> image);
// The block image of a .PG file; nothing when the file's lengths do not fit the file.
std::optional<BlockImage> DecodeSystemDataFile(std::span<const std::uint8_t> file);

struct SystemDataFolders {
    std::filesystem::path sdb;       // ProjectDirectory/SDB
    std::string sdbFolder;           // the folder of the LIST and LINK tables
    std::filesystem::path pgFolder;  // where the .PG files are written
};

// Writes the .PG files and the three tables. False when any of them could not be written, or a system
// data block image was inconsistent (it is not stored).
bool WriteSystemData(ProjectIo& io, const SystemDataFolders& folders, const BlockList& blocks);

// Finds the system data folder through S0112001.DBF and its LINK tables. Returns the folder found, the
// empty string when the table lists none, or `current` when the table cannot be opened.
std::string FindSdbFolder(const std::filesystem::path& sdb, const std::string& current);

// Appends the system data blocks listed in SDB/<sdbFolder>/LIST, read from the first of `pgFolders`
// that holds each file. Returns the number of listed blocks whose file is missing or damaged.
std::size_t ReadSystemData(const std::filesystem::path& sdb, const std::string& sdbFolder,
                           const std::vector<std::string>& pgFolders, BlockList& blocks);

}  // namespace vaultra::s7project
