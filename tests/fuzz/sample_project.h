// A small sound STEP 7 project for the fuzz targets that damage one of its files: written once per
// process, each of its files kept in memory so that a run can put a damaged copy in place and restore it.
#pragma once

#include <map>

#include "s7project/block_image.h"
#include "s7project/s7project.h"
#include "tests/fuzz/fuzz_support.h"

namespace vaultra::fuzz {

class SampleProject {
public:
    SampleProject() {
        s7project::BlockList blocks;
        const int kinds[][2] = {{4, 1}, {0, 1}, {0, 7}, {5, 2}, {3, 3}, {1, 0}};  // OB1 DB1 DB7 FC2 FB3 SDB0
        for (const auto& [index, number] : kinds) {
            blocks.push_back(
                Block(*s7project::SubblockTypeOfIndex(index), static_cast<std::uint16_t>(number)));
        }
        // The project goes into its own folder FUZZ, the project file FUZZ.S7P inside it.
        file_ = dir_.path() / "FUZZ" / "FUZZ.S7P";
        s7project::BlockList back;
        if (!s7project::WriteS7Project(dir_.path() / "FUZZ.S7P", blocks) ||
            !s7project::ReadS7Project(file_, back) || back.size() != blocks.size()) {
            Fail("the sample project cannot be written and read back");
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
            if (entry.is_regular_file()) {
                files_.emplace(entry.path(), ReadFile(entry.path()));
            }
        }
    }

    const std::filesystem::path& ProjectFile() const { return file_; }
    const std::map<std::filesystem::path, Bytes>& Files() const { return files_; }
    // The n-th file (wrapping) whose name ends with one of the extensions (any file when none given).
    const std::filesystem::path& Pick(std::size_t n,
                                      std::initializer_list<const char*> extensions = {}) const {
        std::vector<const std::filesystem::path*> matching;
        for (const auto& [path, bytes] : files_) {
            const std::string ext = path.extension().string();
            if (extensions.size() == 0 ||
                std::any_of(extensions.begin(), extensions.end(), [&](const char* e) { return ext == e; })) {
                matching.push_back(&path);
            }
        }
        return *matching[n % matching.size()];
    }
    void Restore(const std::filesystem::path& path) const { WriteFile(path, files_.at(path)); }
    // Puts every file back as written (a run may have changed or removed any of them).
    void RestoreAll() const {
        for (const auto& [path, bytes] : files_) {
            WriteFile(path, bytes);
        }
    }

private:
    static s7project::BlockImage Block(std::uint8_t type, std::uint16_t number) {
        s7project::BlockImageFields f;
        f.header.type = type;
        f.header.number = number;
        f.header.localDataLength = 20;
        f.header.timestamp1 = {0x02, 0x1A, 0x33, 0x01, 0x00, 0x0D};
        f.header.timestamp2 = {0x03, 0x20, 0x2A, 0x00, type, 0x1A};
        for (std::size_t i = 0; i < 40u + number * 10u; ++i) {
            f.code.push_back(static_cast<std::uint8_t>(i * 7 + number));
        }
        f.interfacePart.assign(12, static_cast<std::uint8_t>(type));
        f.additional.assign(number % 2 == 0 ? 0 : 9, 0xA5);
        return s7project::BuildBlockImage(f);
    }

    ScratchDir dir_;
    std::filesystem::path file_;
    std::map<std::filesystem::path, Bytes> files_;
};

}  // namespace vaultra::fuzz
