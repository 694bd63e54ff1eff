// `vaultra-cli run` follows its set file: an edited file is read again between runs and takes the place
// of the list in memory, keeping what the station learned about each entry; a file that no longer loads
// is left alone and the station goes on with the set it has.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/station.h"

namespace vaultra::cli {

// Notices that a file's bytes changed since they were last taken: its time stamp and size are looked at
// on every call, its bytes only when they moved.
class SetFileWatcher {
public:
    explicit SetFileWatcher(std::filesystem::path path);

    // The new bytes when the file changed since the last call (or since construction); nothing otherwise,
    // also while the file cannot be read.
    std::optional<std::string> ChangedBytes();

private:
    std::filesystem::path path_;
    std::optional<std::filesystem::file_time_type> stamp_;
    std::uintmax_t size_ = 0;
    std::string bytes_;
};

// Takes the settings and entries of `loaded` into `station` (the adapter name stays). An entry of the new
// list whose name matches an entry of the old one (first unused match) keeps that entry's result bits, and
// its due time when its schedule (kind, day, hour, minute, trigger interval) is the same.
void TakeReloadedSet(app::Station& station, app::Station&& loaded);

}  // namespace vaultra::cli
