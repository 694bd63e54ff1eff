// S5 program files through libQRF.so: reading one for a restore, and updating one for a backup so that a
// good earlier file is never damaged or replaced by a partial one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <vaultra/qrf.h>
#include <vaultra/records.h>

#include "app/driver_binding.h"

namespace vaultra::app {

// The program file libQRF.so has open, closed when the object goes.
class OpenS5File {
public:
    OpenS5File(const QrfTable& qrf, const std::filesystem::path& path);
    ~OpenS5File() { Close(); }
    OpenS5File(const OpenS5File&) = delete;
    OpenS5File& operator=(const OpenS5File&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    S5File* Handle() const { return file_; }
    void Close();

private:
    const QrfTable& qrf_;
    S5File* file_ = nullptr;
};

// A backup's update of a program file. The blocks go into a copy in "<file>.vaultra-new/" beside the
// file (with the file's own name, which the library records inside the file); Commit compacts the copy,
// which reads every block back, and renames it over the file. Until then, and on every failure, the
// earlier file stays exactly as it was; the copy is removed when the object goes.
class S5FileUpdate {
public:
    S5FileUpdate(const QrfTable& qrf, const std::filesystem::path& target);
    ~S5FileUpdate();
    S5FileUpdate(const S5FileUpdate&) = delete;
    S5FileUpdate& operator=(const S5FileUpdate&) = delete;

    // Copies an existing file beside it and opens the copy. False when the file is not writable, cannot be
    // copied or is no program file, or the library cannot create it.
    bool Open();
    // Stores one block: key complete with its length, data the whole block with room for the header.
    bool Write(const BlockKey& key, const uint8_t* data);
    // Closes, compacts and moves the copy in. False, with the earlier file unchanged, when any step fails.
    bool Commit();
    // The file that Commit replaces (an existing one found whatever the case of its name).
    const std::filesystem::path& Target() const { return target_; }

private:
    void Discard();

    const QrfTable& qrf_;
    std::filesystem::path target_;
    std::filesystem::path stagingDir_;
    std::filesystem::path staging_;
    std::optional<OpenS5File> file_;
};

// One block of a program file read for a restore: its key and the stored block, header included.
struct StoredS5Block {
    BlockKey key{};
    std::vector<uint8_t> data;
};

enum class S5FileReadError { None, Missing, NotOpened, DirectoryUnreadable, BlockUnreadable };

// Every block of an existing program file, in the file's list order, read through the library without
// changing the file. A missing or empty file is not created.
S5FileReadError ReadS5File(const QrfTable& qrf, const std::filesystem::path& path,
                           std::vector<StoredS5Block>& blocks, std::string& badBlock);

}  // namespace vaultra::app
