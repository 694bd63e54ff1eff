#include "app/s5_program_file.h"

#include <system_error>

#include "platform/files.h"
#include "s7project/path_case.h"

namespace vaultra::app {

namespace {

namespace fs = std::filesystem;

// A program file has at most 65535 sectors of 128 bytes.
constexpr std::size_t kMaxProgramFileBytes = 65535u * 128u;

template <typename Fn>
Fn Qrf(const QrfTable& qrf, std::string_view name) {
    return reinterpret_cast<Fn>(qrf.Get(name));
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool SyncFile(const fs::path& path) {
    const auto file = platform::RandomAccessFile::Open(path, platform::RandomAccessFile::Mode::kUpdate);
    return file && file->Sync() && file->Close();
}

}  // namespace

OpenS5File::OpenS5File(const QrfTable& qrf, const fs::path& path) : qrf_(qrf) {
    if (const auto open = Qrf<OeffneS5DateiFn>(qrf_, "OeffneS5Datei")) {
        file_ = open(path.c_str());
    }
}

void OpenS5File::Close() {
    if (file_ != nullptr) {
        if (const auto close = Qrf<SchlS5DateiFn>(qrf_, "SchlS5Datei")) {
            close(file_);
        }
        file_ = nullptr;
    }
}

S5FileUpdate::S5FileUpdate(const QrfTable& qrf, const fs::path& target)
    : qrf_(qrf), target_(s7project::ResolveIgnoringCase(target)) {
    stagingDir_ = target_;
    stagingDir_ += ".vaultra-new";
    staging_ = stagingDir_ / target_.filename();
}

S5FileUpdate::~S5FileUpdate() {
    Discard();
}

void S5FileUpdate::Discard() {
    file_.reset();
    platform::RemoveTree(stagingDir_);
}

bool S5FileUpdate::Open() {
    Discard();
    std::error_code ec;
    if (target_.filename().empty() || !fs::create_directory(stagingDir_, ec) || ec) {
        return false;
    }
    if (IsFile(target_)) {
        // A file the station may not change stays as it is, as the library would leave it.
        const auto bytes = platform::IsReadableAndWritable(target_)
                               ? platform::ReadFileBytes(target_, kMaxProgramFileBytes)
                               : std::nullopt;
        if (!bytes || !platform::WriteFileReplacing(staging_, *bytes)) {
            return false;
        }
    }
    file_.emplace(qrf_, staging_);
    return file_->IsOpen();
}

bool S5FileUpdate::Write(const BlockKey& key, const uint8_t* data) {
    const auto write = Qrf<SchrBstDatenFn>(qrf_, "SchrBstDaten");
    return file_ && file_->IsOpen() && write != nullptr && write(file_->Handle(), &key, data) != 0;
}

bool S5FileUpdate::Commit() {
    if (!file_ || !file_->IsOpen()) {
        return false;
    }
    file_.reset();
    // Compacting rewrites the copy block by block and reads every block back before it takes its place.
    const auto compact = Qrf<KomprimiereDateiFn>(qrf_, "KomprimiereDatei");
    bool moved = compact != nullptr && compact(staging_.c_str()) != 0 && SyncFile(staging_);
    if (moved) {
        std::error_code ec;
        fs::rename(staging_, target_, ec);
        moved = !ec;
    }
    if (moved) {
        platform::SyncDirectory(target_.has_parent_path() ? target_.parent_path() : fs::path("."));
    }
    Discard();
    return moved;
}

S5FileReadError ReadS5File(const QrfTable& qrf, const fs::path& requested, std::vector<StoredS5Block>& blocks,
                           std::string& badBlock) {
    // The library would create a missing file and give an empty one a fresh directory.
    const fs::path path = s7project::ResolveIgnoringCase(requested);
    std::error_code ec;
    if (!IsFile(path) || fs::file_size(path, ec) == 0 || ec) {
        return S5FileReadError::Missing;
    }
    OpenS5File file(qrf, path);
    const auto readList = Qrf<LeseBuchhalterFn>(qrf, "LeseBuchhalter");
    const auto freeList = Qrf<EntfBuchhalterFn>(qrf, "EntfBuchhalter");
    const auto readBlock = Qrf<LeseBstDatenFn>(qrf, "LeseBstDaten");
    const auto freeBlock = Qrf<EntfBstDatenFn>(qrf, "EntfBstDaten");
    const auto name = Qrf<BstZuNameFn>(qrf, "BstZuName");
    if (!file.IsOpen() || !readList || !freeList || !readBlock || !freeBlock || !name) {
        return S5FileReadError::NotOpened;
    }
    uint16_t count = 0;
    BlockKey* list = readList(file.Handle(), &count);
    if (list == nullptr) {
        return S5FileReadError::DirectoryUnreadable;
    }
    S5FileReadError result = S5FileReadError::None;
    for (uint16_t i = 0; i < count && result == S5FileReadError::None; ++i) {
        StoredS5Block block{list[i], {}};
        uint8_t* data = readBlock(file.Handle(), &block.key);
        if (data == nullptr) {
            char text[9] = {};
            badBlock = name(&list[i], text);
            result = S5FileReadError::BlockUnreadable;
            break;
        }
        block.data.assign(data, data + block.key.length);
        freeBlock(data);
        blocks.push_back(std::move(block));
    }
    freeList(list);
    return result;
}

}  // namespace vaultra::app
