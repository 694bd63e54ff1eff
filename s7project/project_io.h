// The file operations of the project writer, behind one small interface so that a caller (a test) can
// watch every write, or make the Nth one fail as a full disk would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace vaultra::s7project {

class ProjectFile {
public:
    virtual ~ProjectFile() = default;
    // Bytes read at the offset; fewer at the end of the file.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    virtual bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    virtual std::uint64_t Size() = 0;
    virtual bool Sync() = 0;
    virtual bool Close() = 0;
};

enum class FileMode { kRead, kUpdate, kCreate };  // kCreate creates or truncates

class ProjectIo {
public:
    virtual ~ProjectIo() = default;
    // Nothing when the file cannot be opened (or created).
    virtual std::unique_ptr<ProjectFile> Open(const std::filesystem::path& path, FileMode mode) = 0;
    // Creates the directory and its parents; true when it exists afterwards.
    virtual bool CreateDirectories(const std::filesystem::path& dir) = 0;
    // Renames without replacing an existing target.
    virtual bool Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    virtual bool SyncDirectory(const std::filesystem::path& dir) = 0;
    virtual bool RemoveTree(const std::filesystem::path& path) = 0;
};

// Creates (or truncates) the file and writes the bytes; false when any step failed.
bool WriteWholeFile(ProjectIo& io, const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// The real file system.
ProjectIo& SystemProjectIo();

}  // namespace vaultra::s7project
