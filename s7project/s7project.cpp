#include "s7project/s7project.h"

#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/cp1252.h"
#include "s7project/block_tables.h"
#include "s7project/dbase_index.h"
#include "s7project/path_case.h"
#include "s7project/project_layout.h"
#include "s7project/system_data.h"
#include "s7project/table_schema.h"

namespace vaultra::s7project {

namespace {

constexpr std::string_view kNoName = "NONAME.S7P";
constexpr std::size_t kExtensionLength = 4;

// Replaces the file at the given path by the project file inside the project directory.
bool WriteProjectFile(const std::filesystem::path& given, const std::filesystem::path& root) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(given, ec)) {
        std::filesystem::remove(given, ec);
    }
    const std::string fileName = given.filename().string();
    const std::string name = fileName.size() > kExtensionLength
                                 ? fileName.substr(0, fileName.size() - kExtensionLength)
                                 : std::string{};
    // Names are UTF-8 here and Windows-1252 in the project's files.
    const auto bytes = EncodeProjectFile(platform::Utf8ToCp1252Lossy(name));
    std::ofstream out(root / fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool WriteProject(const std::filesystem::path& requested, const BlockList& blocks, ProjectFolders& folders) {
    const std::filesystem::path given = requested.empty() ? std::filesystem::path(kNoName) : requested;
    if (folders.offlineFolder.empty()) {
        folders.offlineFolder = kDefaultFolder;
    }
    if (folders.sdbFolder.empty()) {
        folders.sdbFolder = kDefaultFolder;
    }
    const std::filesystem::path root = ProjectDirectoryFor(given);
    const ProjectPaths paths = ResolveProjectPaths(root, folders.offlineFolder);
    bool ok = CreateProjectDirectories(paths, folders.sdbFolder);
    ok = WriteProjectFile(given, root) && ok;
    ok = WriteBlockTables(paths.blocks, blocks) && ok;
    ok = WriteSystemData({paths.sdb, folders.sdbFolder, paths.pgFiles}, blocks) && ok;
    ok = WriteLinkFiles(paths, folders.offlineFolder) && ok;
    ok = WriteProjectTables(paths, folders.offlineFolder, blocks) && ok;
    return ok;
}

bool ReadProject(const std::filesystem::path& projectFile, BlockList& blocks, ProjectFolders& folders,
                 ProjectInfo* info) {
    const int format = ReadProjectFormat(projectFile);
    const std::filesystem::path root =
        projectFile.parent_path().empty() ? std::filesystem::path(".") : projectFile.parent_path();
    const auto container = ReadContainerRecord(root);
    if (!container) {
        return false;
    }
    const std::uint64_t id = LeadingNumber(container->id);
    folders.offlineFolder = Hex8(static_cast<std::uint32_t>(std::min<std::uint64_t>(id, 0xFFFFFFFFU)));
    const auto sdb = ResolveIgnoringCase(root, {"SDB"});
    folders.sdbFolder =
        FindSdbFolder(sdb, folders.sdbFolder.empty() ? std::string(kDefaultFolder) : folders.sdbFolder);
    // The files are written below SDB/00000001 but looked for below the block folder's name first.
    std::size_t unreadable =
        ReadSystemData(sdb, folders.sdbFolder,
                       {folders.offlineFolder, folders.sdbFolder, std::string(kDefaultFolder)}, blocks);
    const auto blockFolder = ResolveIgnoringCase(root, {"ombstx", "offline", folders.offlineFolder});
    if (format == 2) {
        unreadable += ReadOlderBlockTable(blockFolder, blocks);
    } else {
        unreadable += ReadSubblockTable(blockFolder, blocks);
    }
    if (info != nullptr) {
        info->format = format;
        info->programName = ReadProgramName(root, container->id);
        info->projectDirectory = root;
        info->unreadableBlocks = unreadable;
    }
    return true;
}

struct SharedFolders {
    std::mutex lock;
    ProjectFolders folders;
};

SharedFolders& ProgramFolders() {
    static SharedFolders shared;
    return shared;
}

}  // namespace

bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks,
                    ProjectFolders& folders) {
    try {
        return WriteProject(projectFile, blocks, folders);
    } catch (const std::exception&) {
        return false;  // out of memory or a path the library could not handle: no project was written whole
    }
}

bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks, ProjectFolders& folders,
                   ProjectInfo* info) {
    try {
        return ReadProject(projectFile, blocks, folders, info);
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks) {
    auto& shared = ProgramFolders();
    const std::lock_guard guard(shared.lock);
    return WriteS7Project(projectFile, blocks, shared.folders);
}

bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks) {
    auto& shared = ProgramFolders();
    const std::lock_guard guard(shared.lock);
    return ReadS7Project(projectFile, blocks, shared.folders);
}

}  // namespace vaultra::s7project
