#include "fault_io.h"

#include <random>

namespace vaultra::s7project::testing {

namespace {

class FaultFile : public ProjectFile {
public:
    FaultFile(FaultIo& io, std::unique_ptr<ProjectFile> inner, bool realSync)
        : io_(io), inner_(std::move(inner)), realSync_(realSync) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        return inner_->ReadAt(offset, out);
    }
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        return io_.Allow(FaultIo::Kind::kWrite) && inner_->WriteAt(offset, bytes);
    }
    std::uint64_t Size() override { return inner_->Size(); }
    bool Sync() override { return io_.Allow(FaultIo::Kind::kWrite) && (!realSync_ || inner_->Sync()); }
    bool Close() override { return inner_->Close(); }

private:
    FaultIo& io_;
    std::unique_ptr<ProjectFile> inner_;
    bool realSync_;
};

}  // namespace

bool FaultIo::Allow(Kind kind) {
    ++count_;
    if (onOperation) {
        onOperation(count_);
    }
    if (failAt != 0 && count_ == failAt) {
        failed_ = true;
        return false;
    }
    return !(failed_ && diskFull && kind == Kind::kWrite);
}

std::unique_ptr<ProjectFile> FaultIo::Open(const std::filesystem::path& path, FileMode mode) {
    if (mode == FileMode::kCreate && !Allow(Kind::kWrite)) {
        return nullptr;
    }
    auto file = inner_.Open(path, mode);
    return file ? std::make_unique<FaultFile>(*this, std::move(file), realSync) : nullptr;
}

bool FaultIo::CreateDirectories(const std::filesystem::path& dir) {
    return Allow(Kind::kWrite) && inner_.CreateDirectories(dir);
}

bool FaultIo::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return Allow(Kind::kOther) && inner_.Rename(from, to);
}

bool FaultIo::SyncDirectory(const std::filesystem::path& dir) {
    return Allow(Kind::kOther) && (!realSync || inner_.SyncDirectory(dir));
}

bool FaultIo::RemoveTree(const std::filesystem::path& path) {
    return Allow(Kind::kOther) && inner_.RemoveTree(path);
}

BlockList UpdateProgram(int generation, std::size_t blocks) {
    constexpr std::uint8_t kTypes[] = {subblock::kOb, subblock::kFb, subblock::kFc, subblock::kDb};
    std::mt19937 random(static_cast<unsigned>(generation));
    BlockList list;
    BlockImageFields sdb;
    sdb.header.type = subblock::kSdb;
    sdb.header.number = 2;
    sdb.code.assign(40 + 10 * static_cast<std::size_t>(generation), static_cast<std::uint8_t>(generation));
    list.push_back(BuildBlockImage(sdb));
    for (std::size_t i = 0; i < blocks; ++i) {
        if (generation > 1 && i == 1) {
            continue;  // a block that disappeared from the PLC
        }
        BlockImageFields f;
        f.header.type = kTypes[i % 4];
        f.header.number = static_cast<std::uint16_t>(i);
        f.header.timestamp1 = {1, 2, 3, static_cast<std::uint8_t>(generation), 5, 6};
        const bool changed = generation > 1 && i % 2 == 0;
        f.code.resize(200 + (150 * i) % 4000 + (changed ? 333 : 0));
        if (i % 3 == 0) {
            f.interfacePart.resize(30 + i);
            f.additional.resize(12);
        }
        for (auto* part : {&f.code, &f.interfacePart, &f.additional}) {
            for (auto& b : *part) {
                b = static_cast<std::uint8_t>(changed ? random() : i * 7 + 1);
            }
        }
        list.push_back(BuildBlockImage(f));
    }
    if (generation > 1) {
        list.push_back(UpdateProgram(1, blocks + 1).back());  // a new block
    }
    return list;
}

}  // namespace vaultra::s7project::testing
