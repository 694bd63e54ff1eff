#include "s7project/project_swap.h"

#include <system_error>
#include <vector>

namespace vaultra::s7project {

namespace {

constexpr std::string_view kStagingSuffix = ".vaultra-new";
constexpr std::string_view kRetiredSuffix = ".vaultra-old";
constexpr std::size_t kCopyChunk = 1U << 20;

bool Exists(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
}

bool IsDirectory(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::symlink_status(p, ec));
}

bool CopyFile(ProjectIo& io, const std::filesystem::path& from, const std::filesystem::path& to) {
    auto in = io.Open(from, FileMode::kRead);
    auto out = in ? io.Open(to, FileMode::kCreate) : nullptr;
    if (!out) {
        return false;
    }
    const std::uint64_t size = in->Size();
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyChunk)));
    for (std::uint64_t at = 0; at < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - at, chunk.size()));
        const std::size_t got = in->ReadAt(at, std::span(chunk).first(want));
        if (got != want || !out->WriteAt(at, std::span(chunk).first(got))) {
            return false;
        }
        at += got;
    }
    return out->Close() && in->Close();
}

// Collects the tree's folders (the top one first) and files; false when the tree cannot be listed.
bool ListTree(const std::filesystem::path& dir, std::vector<std::filesystem::path>& folders,
              std::vector<std::filesystem::path>& files) {
    std::error_code ec;
    folders.push_back(dir);
    for (std::filesystem::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const auto status = it->symlink_status(ec);
        if (ec) {
            return false;
        }
        // Linked folders are not followed; a linked file is taken as the file it names.
        if (std::filesystem::is_directory(status)) {
            folders.push_back(it->path());
        } else if (std::filesystem::is_regular_file(it->status(ec))) {
            files.push_back(it->path());
        }
    }
    return !ec;
}

}  // namespace

std::optional<SwapPaths> SwapPathsFor(const std::filesystem::path& projectDirectory) {
    std::error_code ec;
    std::filesystem::path project = std::filesystem::absolute(projectDirectory, ec).lexically_normal();
    if (ec) {
        return std::nullopt;
    }
    if (!project.has_filename()) {
        project = project.parent_path();
    }
    if (!project.has_filename() || project == project.root_path() || project.filename() == "..") {
        return std::nullopt;
    }
    SwapPaths p;
    p.project = project;
    p.staging = project;
    p.staging += kStagingSuffix;
    p.retired = project;
    p.retired += kRetiredSuffix;
    return p;
}

bool RecoverInterruptedSwap(ProjectIo& io, const SwapPaths& p) {
    const auto parent = p.project.parent_path();
    if (!Exists(p.project) && IsDirectory(p.retired)) {
        const bool stagingDone = IsDirectory(p.staging) && io.Rename(p.staging, p.project);
        if (!stagingDone && !io.Rename(p.retired, p.project)) {
            return false;
        }
        io.SyncDirectory(parent);
    }
    bool ok = true;
    if (Exists(p.retired)) {
        ok = io.RemoveTree(p.retired) && ok;
    }
    if (Exists(p.staging)) {
        ok = io.RemoveTree(p.staging) && ok;
    }
    io.SyncDirectory(parent);
    return ok;
}

bool CopyTree(ProjectIo& io, const std::filesystem::path& from, const std::filesystem::path& to) {
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> files;
    if (!ListTree(from, folders, files)) {
        return false;
    }
    for (const auto& folder : folders) {
        if (!io.CreateDirectories(to / folder.lexically_relative(from))) {
            return false;
        }
    }
    for (const auto& file : files) {
        if (!CopyFile(io, file, to / file.lexically_relative(from))) {
            return false;
        }
    }
    return true;
}

bool SyncTree(ProjectIo& io, const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> files;
    if (!ListTree(dir, folders, files)) {
        return false;
    }
    for (const auto& file : files) {
        auto f = io.Open(file, FileMode::kRead);
        if (!f || !f->Sync() || !f->Close()) {
            return false;
        }
    }
    // Deepest folders first, so that each folder's entries are on the disk before its parent's.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (!io.SyncDirectory(*it)) {
            return false;
        }
    }
    return true;
}

bool SwapIn(ProjectIo& io, const SwapPaths& p) {
    const auto parent = p.project.parent_path();
    const bool hadProject = Exists(p.project);
    if (hadProject && !io.Rename(p.project, p.retired)) {
        return false;
    }
    if (!io.Rename(p.staging, p.project)) {
        if (hadProject) {
            io.Rename(p.retired, p.project);
        }
        return false;
    }
    // From here on the new project is in place; an old folder the removal leaves behind is removed by
    // the next run.
    io.SyncDirectory(parent);
    if (hadProject) {
        io.RemoveTree(p.retired);
        io.SyncDirectory(parent);
    }
    return true;
}

}  // namespace vaultra::s7project
