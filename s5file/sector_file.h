// Sector-level access to an S5 program file: every read and write is checked against the sectors the
// file owns, and inserting or removing sectors moves the tail of the file through a bounded buffer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <vector>

namespace vaultra::qrf {

inline constexpr size_t kSectorSize = 128;
inline constexpr uint32_t kMaxSectors = 0xFFFF;  // sector numbers and counts are 16 bit

// Sectors a block of `length` bytes occupies (one even for an empty block).
constexpr uint32_t SectorsFor(uint32_t length) {
    return length == 0 ? 1 : (length - 1) / kSectorSize + 1;
}

// `path` itself when it exists, else a file in the same directory whose name differs only in case
// (stations name files in either case), else `path`.
std::filesystem::path FindIgnoringCase(const std::filesystem::path& path);

// Byte storage behind a program file: the file on disk, or memory in tests.
class ByteStore {
public:
    virtual ~ByteStore() = default;
    virtual bool ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
    virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> data) = 0;
    virtual bool Resize(uint64_t size) = 0;
    virtual uint64_t Size() = 0;
    virtual bool Writable() const = 0;
};

class FileStore final : public ByteStore {
public:
    enum class OpenResult { kOpened, kNotFound, kAccessDenied, kFailed };
    // Opens for update, falls back to read-only; creates the file first when `create` is set.
    static OpenResult Open(const std::filesystem::path& path, bool create, std::unique_ptr<FileStore>& store);

    bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> data) override;
    bool Resize(uint64_t size) override;
    uint64_t Size() override;
    bool Writable() const override { return writable_; }

    FileStore(std::filesystem::path path, std::fstream stream, bool writable)
        : path_(std::move(path)), stream_(std::move(stream)), writable_(writable) {}

private:
    std::filesystem::path path_;
    std::fstream stream_;
    bool writable_;
};

class MemoryStore : public ByteStore {
public:
    explicit MemoryStore(std::vector<uint8_t> bytes = {}, bool writable = true)
        : bytes_(std::move(bytes)), writable_(writable) {}

    bool ReadAt(uint64_t offset, std::span<uint8_t> out) override;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> data) override;
    bool Resize(uint64_t size) override;
    uint64_t Size() override { return bytes_.size(); }
    bool Writable() const override { return writable_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    bool writable_;
};

class SectorFile {
public:
    SectorFile(std::unique_ptr<ByteStore> store, uint32_t sectors)
        : store_(std::move(store)), sectors_(sectors) {}

    uint32_t Sectors() const { return sectors_; }
    // Sets how many sectors the file owns, once its root directory was read.
    void Adopt(uint32_t sectors) { sectors_ = sectors; }
    bool Writable() const { return store_->Writable(); }

    // `out` / `data` may be any length; it must lie within the file's sectors.
    bool Read(uint32_t first, std::span<uint8_t> out) const;
    bool Write(uint32_t first, std::span<const uint8_t> data);

    // Moves sectors [at, end) up by `count` and zero-fills the gap; fails beyond 0xFFFF sectors.
    bool Insert(uint32_t at, uint32_t count);
    // Moves sectors [at + count, end) down by `count`.
    bool Remove(uint32_t at, uint32_t count);
    // Cuts the stored bytes to exactly the file's sectors.
    bool Truncate();

private:
    bool Within(uint32_t first, size_t bytes) const;
    bool Move(uint32_t from, uint32_t to, uint32_t count);

    std::unique_ptr<ByteStore> store_;
    uint32_t sectors_;
};

}  // namespace vaultra::qrf
