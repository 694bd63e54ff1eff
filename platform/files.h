// Whole-file reads and safe whole-file writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vaultra::platform {

// The bytes of a file, or nullopt when it cannot be opened or read (or is larger than max_bytes).
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, size_t max_bytes = 64u << 20);

// Writes the bytes to a temporary file beside the target, flushes it to the disk and renames it over the
// target, so that a failed write never leaves a half-written file. Returns false with nothing changed on
// failure.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// True when the file exists and this process may read and write it.
bool IsReadableAndWritable(const std::filesystem::path& path);

// A file read and written at explicit offsets (no shared position), closed on destruction.
class RandomAccessFile {
public:
    enum class Mode { kRead, kUpdate, kCreate };  // kCreate creates or truncates for update
    static std::unique_ptr<RandomAccessFile> Open(const std::filesystem::path& path, Mode mode);
    ~RandomAccessFile();
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;

    // Bytes read at the offset (fewer at the end of the file or after an error).
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);
    // All bytes written at the offset; false on any error (a full disk among them).
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::uint64_t Size();
    // Flushes the file's data to the disk.
    bool Sync();
    // False when closing reported an error (data that could not be written after all).
    bool Close();

private:
    explicit RandomAccessFile(int fd) : fd_(fd) {}
    int fd_;
};

// Renames in one step, replacing nothing: false when the target exists or the rename failed.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Flushes a directory's entries (renames, new and removed names in it) to the disk.
bool SyncDirectory(const std::filesystem::path& dir);
// Removes a file or a whole directory tree; true when nothing of it is left.
bool RemoveTree(const std::filesystem::path& path);

}  // namespace vaultra::platform
