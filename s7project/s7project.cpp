#include "s7project/s7project.h"

#include <mutex>
#include <new>
#include <system_error>

#include "platform/cp1252.h"
#include "s7project/block_tables.h"
#include "s7project/dbase_index.h"
#include "s7project/path_case.h"
#include "s7project/project_layout.h"
#include "s7project/project_swap.h"
#include "s7project/system_data.h"
#include "s7project/table_schema.h"

namespace vaultra::s7project {

namespace {

constexpr std::string_view kNoName = "NONAME.S7P";
constexpr std::size_t kExtensionLength = 4;

std::string ProjectName(const std::filesystem::path& given) {
    const std::string fileName = given.filename().string();
    return fileName.size() > kExtensionLength ? fileName.substr(0, fileName.size() - kExtensionLength)
                                              : std::string{};
}

// Builds the updated project in the staging folder: a copy of the stored project (so every record the
// tables keep is carried over and object numbers continue), updated as in place, then synced.
bool BuildStaging(ProjectIo& io, const SwapPaths& swap, const std::filesystem::path& given,
                  const BlockList& blocks, ProjectFolders& folders) {
    std::error_code ec;
    const bool copied = std::filesystem::exists(swap.project, ec) ? CopyTree(io, swap.project, swap.staging)
                                                                  : io.CreateDirectories(swap.staging);
    if (!copied) {
        return false;
    }
    const ProjectPaths paths = ResolveProjectPaths(swap.staging, folders.offlineFolder);
    // Names are UTF-8 here and Windows-1252 in the project's files.
    const auto projectFile = EncodeProjectFile(platform::Utf8ToCp1252Lossy(ProjectName(given)));
    bool ok = CreateProjectDirectories(io, paths, folders.sdbFolder);
    ok = ok && WriteWholeFile(io, swap.staging / given.filename(), projectFile);
    ok = ok && WriteBlockTables(io, paths.blocks, blocks);
    ok = ok && WriteSystemData(io, {paths.sdb, folders.sdbFolder, paths.pgFiles}, blocks);
    ok = ok && WriteLinkFiles(io, paths, folders.offlineFolder);
    ok = ok && WriteProjectTables(io, paths, folders.offlineFolder, blocks);
    return ok && SyncTree(io, swap.staging);
}

// A project file given outside the project folder is replaced by the one inside it.
void RemoveGivenFile(const std::filesystem::path& given, const std::filesystem::path& project) {
    std::error_code ec;
    const auto file = std::filesystem::absolute(given, ec).lexically_normal();
    if (!ec && file.parent_path() != project && std::filesystem::is_regular_file(file, ec)) {
        std::filesystem::remove(file, ec);
    }
}

bool WriteProject(const std::filesystem::path& requested, const BlockList& blocks, ProjectFolders& folders,
                  ProjectIo& io) {
    const std::filesystem::path given = requested.empty() ? std::filesystem::path(kNoName) : requested;
    if (folders.offlineFolder.empty()) {
        folders.offlineFolder = kDefaultFolder;
    }
    if (folders.sdbFolder.empty()) {
        folders.sdbFolder = kDefaultFolder;
    }
    const auto swap = SwapPathsFor(ProjectDirectoryFor(given));
    if (!swap || !RecoverInterruptedSwap(io, *swap)) {
        return false;
    }
    if (!BuildStaging(io, *swap, given, blocks, folders) || !SwapIn(io, *swap)) {
        io.RemoveTree(swap->staging);
        return false;
    }
    RemoveGivenFile(given, swap->project);
    return true;
}

bool ReadProject(const std::filesystem::path& projectFile, BlockList& blocks, ProjectFolders& folders,
                 ProjectInfo* info) {
    const int format = ReadProjectFormat(projectFile);
    const std::filesystem::path root =
        projectFile.parent_path().empty() ? std::filesystem::path(".") : projectFile.parent_path();
    const auto container = ReadContainerRecord(root);
    if (!container) {
        if (info != nullptr) {
            info->failure =
                "its block container table OMBSTX/OFFLINE/BSTCNTOF.DBF is missing or has no readable record";
        }
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
        if (format != 2) {
            info->unreadableBlocks += ReadDeletedSubblocks(blockFolder, info->deletedBlocks);
        }
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
                    ProjectFolders& folders, ProjectIo& io) {
    try {
        return WriteProject(projectFile, blocks, folders, io);
    } catch (const std::exception&) {
        return false;  // out of memory or a path the library could not handle: no project was written whole
    }
}

bool WriteS7Project(const std::filesystem::path& projectFile, const BlockList& blocks,
                    ProjectFolders& folders) {
    return WriteS7Project(projectFile, blocks, folders, SystemProjectIo());
}

bool RecoverS7Project(const std::filesystem::path& projectFile) {
    const std::filesystem::path given = projectFile.empty() ? std::filesystem::path(kNoName) : projectFile;
    try {
        const auto swap = SwapPathsFor(ProjectDirectoryFor(given));
        return swap && RecoverInterruptedSwap(SystemProjectIo(), *swap);
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadS7Project(const std::filesystem::path& projectFile, BlockList& blocks, ProjectFolders& folders,
                   ProjectInfo* info) {
    try {
        return ReadProject(projectFile, blocks, folders, info);
    } catch (const std::bad_alloc&) {
        if (info != nullptr) {
            info->failure = "not enough memory to read it";
        }
    } catch (const std::exception& e) {
        if (info != nullptr) {
            info->failure = std::string("it could not be read: ") + e.what();
        }
    }
    return false;
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
