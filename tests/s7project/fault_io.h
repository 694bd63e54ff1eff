// File operations of the project writer that can be made to fail at the Nth operation, as a full disk
// or a write error would, and watched one by one (to stop a child process at a chosen point).
#pragma once

#include <cstddef>
#include <functional>

#include "s7project/block_image.h"
#include "s7project/project_io.h"

namespace vaultra::s7project::testing {

class FaultIo : public ProjectIo {
public:
    explicit FaultIo(ProjectIo& inner = SystemProjectIo()) : inner_(inner) {}

    // Counted operations: every file write, file sync, file creation, folder creation, rename, folder
    // sync and tree removal. The one numbered failAt (1-based; 0 for none) fails.
    std::size_t failAt = 0;
    // From the failing operation on, every later file write, creation and sync fails too (a full disk);
    // renames and removals still work, as they do on a full disk.
    bool diskFull = false;
    // Real fsync calls are slow and change nothing the tests can see; they are counted all the same.
    bool realSync = false;
    // Called with the operation's number before each counted operation runs.
    std::function<void(std::size_t)> onOperation;

    std::size_t Operations() const { return count_; }
    bool Failed() const { return failed_; }

    std::unique_ptr<ProjectFile> Open(const std::filesystem::path& path, FileMode mode) override;
    bool CreateDirectories(const std::filesystem::path& dir) override;
    bool Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool SyncDirectory(const std::filesystem::path& dir) override;
    bool RemoveTree(const std::filesystem::path& path) override;

    enum class Kind { kWrite, kOther };
    // Counts one operation; false when it is to fail.
    bool Allow(Kind kind);

private:
    ProjectIo& inner_;
    std::size_t count_ = 0;
    bool failed_ = false;
};

// A small program for the update tests: generation 1 is the stored one; generation 2 changes the code of
// some blocks, drops one and adds one. Every third block has an interface and an additional part.
BlockList UpdateProgram(int generation, std::size_t blocks = 8);

}  // namespace vaultra::s7project::testing
