#include "app/list_line.h"

#include <cstdio>

#include "app/scan.h"
#include "app/schedule.h"
#include "platform/cp1252.h"
#include "platform/time.h"

namespace vaultra::app {

namespace {

std::string Slot(uint8_t slot) {
    return slot != 0 ? Sprintf(" (Slot %d)", slot) : std::string();
}

std::string Lan(const CElement& e) {
    const auto& a = e.address;
    return Sprintf("LAN: %d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

// printf's "%-N.Ns" counted in characters: cut to width, padded with spaces.
std::string Column(std::string_view text, size_t width) {
    std::string out = platform::Utf8Prefix(text, width);
    out.append(width - platform::Utf8Length(out), ' ');
    return out;
}

std::string UpToZero(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string AddressListText(const CElement& e) {
    const auto& a = e.address;
    switch (InterfaceOf(e)) {
        case InterfaceKind::S5Direct:
            return "S5 :        ";
        case InterfaceKind::S5H1:
            return Sprintf("H1 :%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        case InterfaceKind::S7Mpi:
            return Sprintf("MPI: %03d", a[0]) + Slot(a[1]);
        case InterfaceKind::S5Lan:
            return Lan(e);
        case InterfaceKind::S7Lan:
            return Lan(e) + Sprintf(" - MPI: %03d", a[4]) + Slot(a[5]);
        case InterfaceKind::S7Rfc1006:
            return Lan(e) + Slot(a[4]);
    }
    return {};
}

std::string PasswordListText(const CElement& e) {
    switch (InterfaceOf(e)) {
        case InterfaceKind::S5Direct:
            return "      ";
        case InterfaceKind::S5H1:
            return platform::Utf8Prefix(UpToZero(e.password), 6);
        case InterfaceKind::S5Lan:
            return {};
        default:
            return platform::Utf8Prefix(UpToZero(e.password), 8);
    }
}

std::string NextBackupText(const CElement& e) {
    if (EffectiveIntervalKind(e) == IntervalKind::Never) {
        return std::string(19, ' ');
    }
    return platform::FormatLocalTime(e.nextBackup, "%d.%m.%Y %H:%M:%S");
}

std::string ListLine(const CElement& e, const StationSettings& settings) {
    return Column(e.name, 30) + '\t' + Column(AddressListText(e), 44) + '\t' +
           Column(PasswordListText(e), 8) + '\t' + Column(IntervalText(e), 20) + '\t' +
           Column(NextBackupText(e), 20) + '\t' + Column(settings.backupDirectory + e.fileName, 80);
}

std::optional<size_t> HitEntry(int64_t y, int64_t line_height, size_t entry_count) {
    if (line_height <= 0 || y < 0) {
        return std::nullopt;
    }
    const int64_t entry = y / line_height - 2;
    if (entry < 0 || static_cast<uint64_t>(entry) >= entry_count) {
        return std::nullopt;
    }
    return static_cast<size_t>(entry);
}

LineColours EntryLineColours(const CElement& e) {
    LineColours c{{255, 255, 255}, {0, 0, 128}};
    if (e.Has(flag::kMarked)) {
        c.background = {128, 128, 128};
    }
    const bool failed = e.Has(flag::kLastFailed);
    const bool succeeded = e.Has(flag::kLastSucceeded);
    if (failed && !succeeded) {
        c.text = {255, 64, 64};
    } else if (succeeded && !failed) {
        c.text = {64, 128, 64};
    }
    return c;
}

}  // namespace vaultra::app
