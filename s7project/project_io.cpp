#include "s7project/project_io.h"

#include <system_error>

#include "platform/files.h"

namespace vaultra::s7project {

namespace {

class SystemFile final : public ProjectFile {
public:
    explicit SystemFile(std::unique_ptr<platform::RandomAccessFile> file) : file_(std::move(file)) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        return file_->ReadAt(offset, out);
    }
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        return file_->WriteAt(offset, bytes);
    }
    std::uint64_t Size() override { return file_->Size(); }
    bool Sync() override { return file_->Sync(); }
    bool Close() override { return file_->Close(); }

private:
    std::unique_ptr<platform::RandomAccessFile> file_;
};

platform::RandomAccessFile::Mode ToPlatform(FileMode mode) {
    switch (mode) {
        case FileMode::kRead:
            return platform::RandomAccessFile::Mode::kRead;
        case FileMode::kUpdate:
            return platform::RandomAccessFile::Mode::kUpdate;
        case FileMode::kCreate:
            break;
    }
    return platform::RandomAccessFile::Mode::kCreate;
}

class SystemIo final : public ProjectIo {
public:
    std::unique_ptr<ProjectFile> Open(const std::filesystem::path& path, FileMode mode) override {
        auto file = platform::RandomAccessFile::Open(path, ToPlatform(mode));
        return file ? std::make_unique<SystemFile>(std::move(file)) : nullptr;
    }
    bool CreateDirectories(const std::filesystem::path& dir) override {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        return std::filesystem::is_directory(dir, ec);
    }
    bool Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        return platform::RenameNoReplace(from, to);
    }
    bool SyncDirectory(const std::filesystem::path& dir) override { return platform::SyncDirectory(dir); }
    bool RemoveTree(const std::filesystem::path& path) override { return platform::RemoveTree(path); }
};

}  // namespace

bool WriteWholeFile(ProjectIo& io, const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    auto file = io.Open(path, FileMode::kCreate);
    if (!file) {
        return false;
    }
    const bool written = bytes.empty() || file->WriteAt(0, bytes);
    return file->Close() && written;
}

ProjectIo& SystemProjectIo() {
    static SystemIo io;
    return io;
}

}  // namespace vaultra::s7project
