#include "s5file/sector_file.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <system_error>

namespace vaultra::qrf {

namespace {

// Copies move the file's tail through at most this many sectors at a time.
constexpr uint32_t kMoveBufferSectors = 510;

std::vector<uint8_t> AllocateMoveBuffer(uint32_t wanted) {
    for (uint32_t sectors = std::min(wanted, kMoveBufferSectors); sectors > 0; sectors /= 2) {
        try {
            return std::vector<uint8_t>(sectors * kSectorSize);
        } catch (const std::bad_alloc&) {
        }
    }
    return {};
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

}  // namespace

std::filesystem::path FindIgnoringCase(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || !path.has_filename()) {
        return path;
    }
    const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : ".";
    const std::string wanted = path.filename().string();
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameIgnoringCase(it->path().filename().string(), wanted)) {
            return path.has_parent_path() ? it->path() : it->path().filename();
        }
    }
    return path;
}

FileStore::OpenResult FileStore::Open(const std::filesystem::path& requested, bool create,
                                      std::unique_ptr<FileStore>& store) {
    const std::filesystem::path path = FindIgnoringCase(requested);
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (!exists && !create) {
        return OpenResult::kNotFound;
    }
    if (!exists) {
        std::ofstream created(path, std::ios::binary);
        if (!created) {
            return OpenResult::kAccessDenied;
        }
    }
    if (std::filesystem::is_directory(path, ec)) {
        return OpenResult::kAccessDenied;
    }
    std::fstream stream(path, std::ios::in | std::ios::out | std::ios::binary);
    bool writable = true;
    if (!stream.is_open()) {
        writable = false;
        stream.clear();
        stream.open(path, std::ios::in | std::ios::binary);
        if (!stream.is_open()) {
            return OpenResult::kAccessDenied;
        }
    }
    store = std::make_unique<FileStore>(path, std::move(stream), writable);
    return OpenResult::kOpened;
}

bool FileStore::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return stream_.gcount() == static_cast<std::streamsize>(out.size());
}

bool FileStore::WriteAt(uint64_t offset, std::span<const uint8_t> data) {
    if (!writable_) {
        return false;
    }
    stream_.clear();
    stream_.seekp(static_cast<std::streamoff>(offset));
    stream_.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return stream_.good();
}

bool FileStore::Resize(uint64_t size) {
    if (!writable_) {
        return false;
    }
    stream_.clear();
    if (!stream_.flush()) {
        return false;
    }
    std::error_code ec;
    std::filesystem::resize_file(path_, size, ec);
    return !ec;
}

uint64_t FileStore::Size() {
    stream_.clear();
    stream_.flush();
    stream_.seekg(0, std::ios::end);
    const auto end = stream_.tellg();
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

bool MemoryStore::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    if (offset > bytes_.size() || bytes_.size() - offset < out.size()) {
        return false;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

bool MemoryStore::WriteAt(uint64_t offset, std::span<const uint8_t> data) {
    if (!writable_) {
        return false;
    }
    if (bytes_.size() < offset + data.size()) {
        bytes_.resize(offset + data.size());
    }
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool MemoryStore::Resize(uint64_t size) {
    if (!writable_) {
        return false;
    }
    bytes_.resize(size);
    return true;
}

bool SectorFile::Within(uint32_t first, size_t bytes) const {
    const uint64_t end = static_cast<uint64_t>(first) * kSectorSize + bytes;
    return first <= sectors_ && end <= static_cast<uint64_t>(sectors_) * kSectorSize;
}

bool SectorFile::Read(uint32_t first, std::span<uint8_t> out) const {
    return Within(first, out.size()) && store_->ReadAt(static_cast<uint64_t>(first) * kSectorSize, out);
}

bool SectorFile::Write(uint32_t first, std::span<const uint8_t> data) {
    return Within(first, data.size()) && store_->WriteAt(static_cast<uint64_t>(first) * kSectorSize, data);
}

bool SectorFile::Move(uint32_t from, uint32_t to, uint32_t count) {
    if (count == 0 || from == to) {
        return true;
    }
    std::vector<uint8_t> buffer = AllocateMoveBuffer(count);
    if (buffer.empty()) {
        return false;
    }
    const uint32_t step = static_cast<uint32_t>(buffer.size() / kSectorSize);
    // Moving up copies from the end backwards, moving down from the start forwards, so that no
    // sector is overwritten before it was copied.
    for (uint32_t done = 0; done < count;) {
        const uint32_t chunk = std::min(step, count - done);
        const uint32_t offset = to > from ? count - done - chunk : done;
        std::span<uint8_t> part(buffer.data(), chunk * kSectorSize);
        if (!Read(from + offset, part) || !Write(to + offset, part)) {
            return false;
        }
        done += chunk;
    }
    return true;
}

bool SectorFile::Insert(uint32_t at, uint32_t count) {
    if (at > sectors_ || count > kMaxSectors - sectors_ || !Writable()) {
        return false;
    }
    const uint32_t tail = sectors_ - at;
    sectors_ += count;
    if (!Move(at, at + count, tail)) {
        return false;
    }
    const std::vector<uint8_t> zeros(static_cast<size_t>(count) * kSectorSize, 0);
    return Write(at, zeros);
}

bool SectorFile::Remove(uint32_t at, uint32_t count) {
    if (at > sectors_ || count > sectors_ - at || !Writable()) {
        return false;
    }
    const uint32_t tail = sectors_ - at - count;
    if (!Move(at + count, at, tail)) {
        return false;
    }
    sectors_ -= count;
    return true;
}

bool SectorFile::Truncate() {
    return store_->Resize(static_cast<uint64_t>(sectors_) * kSectorSize);
}

}  // namespace vaultra::qrf
