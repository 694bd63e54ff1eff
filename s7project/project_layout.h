// The project's directory layout, project file, link files and project-level tables.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "s7project/block_image.h"
#include "s7project/project_io.h"

namespace vaultra::s7project {

inline constexpr std::string_view kDefaultFolder = "00000001";

// The directory a project file names: the path without its ".S7P"/".S7L" extension (any case), or the
// directory holding the file when that directory already is a project (it has an HRS folder).
std::filesystem::path ProjectDirectoryFor(const std::filesystem::path& projectFile);

// Paths of the project's folders, each matched case-insensitively to what exists, else in documented case.
struct ProjectPaths {
    std::filesystem::path root;
    std::filesystem::path hrs;
    std::filesystem::path offline;  // OMBSTX/OFFLINE
    std::filesystem::path blocks;   // OMBSTX/OFFLINE/<OfflineFolder>
    std::filesystem::path sdb;      // SDB
    std::filesystem::path pgFiles;  // SDB/00000001
};
ProjectPaths ResolveProjectPaths(const std::filesystem::path& root, const std::string& offlineFolder);
// Creates the project's folders (existing ones stay); false when one could not be created.
bool CreateProjectDirectories(ProjectIo& io, const ProjectPaths& paths, const std::string& sdbFolder);

// The project file: format word 0, the project name, the producer, the class id and fixed values.
std::vector<std::uint8_t> EncodeProjectFile(const std::string& projectName);
// 3 for a file whose first word is 0 (or that cannot be read), 2 otherwise.
int ReadProjectFormat(const std::filesystem::path& projectFile);

bool WriteLinkFiles(ProjectIo& io, const ProjectPaths& paths, const std::string& offlineFolder);

// S7RESOFF (kept when present), S7RESONL (one record more per write) and BSTCNTOF (counts rewritten).
bool WriteProjectTables(ProjectIo& io, const ProjectPaths& paths, const std::string& offlineFolder,
                        const BlockList& blocks);

// ID and NAME of the first BSTCNTOF record; nothing without the table or a readable record.
struct ContainerRecord {
    std::string id;
    std::string name;
};
std::optional<ContainerRecord> ReadContainerRecord(const std::filesystem::path& root);
// NAME of the S7 program with the container's ID (S7RESOFF first, then S7RESONL); empty when not found.
std::string ReadProgramName(const std::filesystem::path& root, const std::string& id);

}  // namespace vaultra::s7project
