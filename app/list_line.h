// The texts of the entry list: header, one line per entry, and the colours of a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/station.h"

namespace vaultra::app {

inline constexpr std::string_view kListHeader =
    "Name\tAdresse\tPasswort\tIntervall\tn\xC3\xA4"
    "chster Backup\tDateiname";

// "S5 :        ", "H1 :0A0B0C0D0E0F", "MPI: 002 (Slot 3)", "LAN: 10.0.0.5", "LAN: 10.0.0.5 - MPI: 002" ...
std::string AddressListText(const CElement& e);
// The password in clear text up to a character 0: six spaces for S5 direct, the first 6 characters for H1
// (and any combination of interface bits), empty for S5-LAN, all 8 for S7.
std::string PasswordListText(const CElement& e);
// nextBackup as local "%d.%m.%Y %H:%M:%S", or 19 spaces for an entry that never runs.
std::string NextBackupText(const CElement& e);

// "%-30.30s\t%-44.44s\t%-8.8s\t%-20.20s\t%-20.20s\t%-80.80s" of name, address, password, interval,
// next backup and full path; widths count characters.
std::string ListLine(const CElement& e, const StationSettings& settings);

// The entry under a click at logical height y: rows are line_height high, row 0 is blank and row 1 the
// header, so entry i is row i + 2. nullopt for the header, the blank row, below the last entry or a bad
// height.
std::optional<size_t> HitEntry(int64_t y, int64_t line_height, size_t entry_count);

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
struct LineColours {
    Rgb background;
    Rgb text;
};
// Grey background when marked; red text when only LastFailed is set, green when only LastSucceeded, else
// dark blue.
LineColours EntryLineColours(const CElement& e);

}  // namespace vaultra::app
