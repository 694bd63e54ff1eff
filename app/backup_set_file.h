// The backup set file: fixed-width text fields, each followed by LF CR, station settings first, then the
// entries. Written always in version 222; read in every version (0, 1..221, 222 and above).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/station.h"

namespace vaultra::app {

inline constexpr uint32_t kCurrentFormatVersion = 222;

// What reading found besides the values.
struct LoadReport {
    uint32_t version = 0;               // format word >> 8
    uint32_t announcedEntries = 0;      // the entry count field
    bool entriesDropped = false;        // count of 1024 or more: the set opened with no entries
    bool truncated = false;             // the file ended before its last field
    bool trailingBytes = false;         // more bytes after the last announced entry
    std::vector<std::string> warnings;  // German, one per problem (bad numbers, early end, dropped entries)

    // Read without any problem: saving it again loses nothing.
    bool Clean() const { return warnings.empty(); }
};

// The file's bytes for the settings and the entries (texts in Windows-1252, cut and padded to their widths).
std::string EncodeBackupSet(const StationSettings& settings, const EntryList& entries);

// Reads the file's bytes into settings (fields the file carries; retryMinutes keeps its value before
// version 222) and appends the entries to `entries`. LastFailed and LastSucceeded are cleared and nextBackup
// is recomputed against `now`. Never reads past the end: missing or unparsable values are 0 and reported.
LoadReport DecodeBackupSet(std::string_view bytes, StationSettings& settings, EntryList& entries,
                           int64_t now);

// Opens a set: empties the list, reads the file, sets record.port = comPort - 1. nullopt when the file cannot
// be read (the station is then unchanged).
std::optional<LoadReport> LoadBackupSet(Station& station, const std::filesystem::path& path, int64_t now);

// Writes the set in the current format, replacing the file only once the whole new content is on disk.
bool SaveBackupSet(const Station& station, const std::filesystem::path& path);

}  // namespace vaultra::app
