#include "app/backup_set_file.h"

#include <cstdio>

#include "app/scan.h"
#include "app/schedule.h"
#include "app/text_catalogue.h"
#include "platform/cp1252.h"
#include "platform/files.h"

namespace vaultra::app {

namespace {

constexpr std::string_view kLineEnd = "\n\r";
constexpr uint32_t kFormatBase = 0xDE00;
constexpr const char* kEndsEarly = "Der Sicherungssatz endet vorzeitig; fehlende Werte werden als 0 gelesen.";
constexpr const char* kTrailingBytes =
    "Nach dem letzten Eintrag folgen weitere Daten; die Datei ist wohl kein Sicherungssatz.";

// ---- writing -------------------------------------------------------------------------------------------

class FieldWriter {
public:
    void Number(uint32_t value) { Printf("%05u", value > 99999 ? 99999u : value); }
    void Hex32(uint32_t value) { Printf("%08x", value); }
    void Address(const std::array<uint8_t, 6>& a) {
        Printf("%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    }
    // Cut to width bytes of Windows-1252 and padded with spaces; control characters cannot be stored.
    void Text(std::string_view utf8, size_t width) {
        std::string bytes = platform::Utf8ToCp1252Lossy(utf8);
        bytes.resize(std::min(bytes.size(), width));
        for (char& c : bytes) {
            if (static_cast<unsigned char>(c) < 0x20) {
                c = ' ';
            }
        }
        bytes.resize(width, ' ');
        out_ += bytes;
        out_ += kLineEnd;
    }
    std::string Take() { return std::move(out_); }

private:
    template <typename... Args>
    void Printf(const char* format, Args... args) {
        out_ += Sprintf(format, args...);
        out_ += kLineEnd;
    }
    std::string out_;
};

void WriteEntry(FieldWriter& w, const CElement& e) {
    w.Text(e.name, kNameWidth);
    w.Address(e.address);
    w.Text(e.password, kPasswordWidth);
    w.Number(e.flags);
    w.Number(e.day);
    w.Number(e.hour);
    w.Number(e.minute);
    w.Text(e.fileName, kFileNameWidth);
    w.Hex32(e.nextBackup);
    w.Text(e.blockList, kBlockListWidth);
    w.Hex32(e.triggerInterval);
    w.Text(e.backupBit, kOperandWidth);
    w.Text(e.restoreBit, kOperandWidth);
    w.Text(e.nameOperand, kOperandWidth);
}

// ---- reading -------------------------------------------------------------------------------------------

// Hands out one field at a time: the bytes up to the next LF, with a CR right after the LF (or right before
// it) taken as part of the line end. Past the end every field is missing.
class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : bytes_(bytes) {}

    std::optional<std::string_view> Next() {
        if (pos_ >= bytes_.size()) {
            return std::nullopt;
        }
        ++field_;
        const size_t lf = bytes_.find('\n', pos_);
        const size_t end = lf == std::string_view::npos ? bytes_.size() : lf;
        std::string_view field = bytes_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (pos_ < bytes_.size() && bytes_[pos_] == '\r') {
            ++pos_;
        }
        if (!field.empty() && field.back() == '\r') {
            field.remove_suffix(1);
        }
        return field;
    }
    size_t FieldNumber() const { return field_; }
    bool AtEnd() const { return pos_ >= bytes_.size(); }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
    size_t field_ = 0;
};

// Leading spaces, then up to max_digits digits of the base; nullopt when there is no digit.
std::optional<uint32_t> ParseDigits(std::string_view s, size_t max_digits, uint32_t base) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') {
        ++i;
    }
    uint32_t value = 0;
    size_t digits = 0;
    for (; i < s.size() && digits < max_digits; ++i, ++digits) {
        const int digit = HexDigitValue(s[i]);
        if (digit < 0 || static_cast<uint32_t>(digit) >= base) {
            break;
        }
        value = value * base + static_cast<uint32_t>(digit);
    }
    return digits > 0 ? std::optional<uint32_t>(value) : std::nullopt;
}

std::optional<uint32_t> ParseDecimal(std::string_view s) {
    return ParseDigits(s, 5, 10);
}
std::optional<uint32_t> ParseHex32(std::string_view s) {
    return ParseDigits(s, 8, 16);
}

std::optional<std::array<uint8_t, 6>> ParseAddress(std::string_view s) {
    std::array<uint8_t, 6> a{};
    if (s.size() < 12) {
        return std::nullopt;
    }
    for (size_t i = 0; i < 6; ++i) {
        const int hi = HexDigitValue(s[2 * i]);
        const int lo = HexDigitValue(s[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        a[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return a;
}

std::string DecodeText(std::string_view field, size_t width) {
    field = field.substr(0, std::min(field.size(), width));
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    return platform::Cp1252ToUtf8(field);
}

// Typed reads on top of FieldReader that note every missing or unparsable field in the report.
class SetReader {
public:
    SetReader(std::string_view bytes, LoadReport& report) : fields_(bytes), report_(report) {}

    uint32_t Number() { return Parsed(ParseDecimal); }
    uint32_t Hex32() { return Parsed(ParseHex32); }
    std::array<uint8_t, 6> Address() { return Parsed(ParseAddress); }
    std::string Text(size_t width) {
        const auto field = fields_.Next();
        if (!field) {
            NoteEnd();
            return {};
        }
        return DecodeText(*field, width);
    }
    bool AtEnd() const { return fields_.AtEnd(); }

private:
    template <typename Parser>
    auto Parsed(Parser parse) -> typename decltype(parse(std::string_view{}))::value_type {
        const auto field = fields_.Next();
        if (!field) {
            NoteEnd();
            return {};
        }
        const auto value = parse(*field);
        if (!value) {
            char message[200];
            std::snprintf(message, sizeof message,
                          Tr("Ung\xC3\xBCltiger Wert \"%.40s\" im Feld %zu des Sicherungssatzes; er wird als "
                             "0 gelesen."),
                          std::string(*field).c_str(), fields_.FieldNumber());
            report_.warnings.emplace_back(message);
            return {};
        }
        return *value;
    }
    void NoteEnd() {
        if (!report_.truncated) {
            report_.truncated = true;
            report_.warnings.emplace_back(Tr(kEndsEarly));
        }
    }

    FieldReader fields_;
    LoadReport& report_;
};

void ReadHeader(SetReader& r, StationSettings& settings, LoadReport& report) {
    const uint32_t word = r.Number();
    report.version = word >> 8;
    settings.comPort = report.version != 0 ? (word & 0xFF) : word;
    settings.backupDirectory = r.Text(kDirectoryWidth);
    if (report.version >= kCurrentFormatVersion) {
        settings.retryMinutes = r.Number();
    }
    settings.stopPlc = r.Number();
    settings.skipSystemBlocks = r.Number();
    settings.noWriteBack = r.Number();
    report.announcedEntries = r.Number();
}

CElement ReadEntry(SetReader& r, uint32_t version, int64_t now) {
    CElement e;
    e.name = r.Text(kNameWidth);
    e.address = r.Address();
    e.password = r.Text(version == 0 ? kOldPasswordWidth : kPasswordWidth);
    e.flags = static_cast<uint16_t>(r.Number());
    e.day = static_cast<uint8_t>(r.Number());
    e.hour = static_cast<uint8_t>(r.Number());
    e.minute = static_cast<uint8_t>(r.Number());
    e.fileName = r.Text(kFileNameWidth);
    e.nextBackup = r.Hex32();
    e.blockList = r.Text(kBlockListWidth);
    if (version >= kCurrentFormatVersion) {
        e.triggerInterval = r.Hex32();
        e.backupBit = r.Text(kOperandWidth);
        e.restoreBit = r.Text(kOperandWidth);
        e.nameOperand = r.Text(kOperandWidth);
    }
    e.Set(flag::kLastFailed | flag::kLastSucceeded, false);
    ComputeNextBackup(e, now);
    return e;
}

}  // namespace

std::string EncodeBackupSet(const StationSettings& settings, const EntryList& entries) {
    FieldWriter w;
    w.Number(kFormatBase | (settings.comPort & 0xFF));
    w.Text(settings.backupDirectory, kDirectoryWidth);
    w.Number(settings.retryMinutes);
    w.Number(settings.stopPlc);
    w.Number(settings.skipSystemBlocks);
    w.Number(settings.noWriteBack);
    w.Number(static_cast<uint32_t>(entries.size()));
    for (const CElement& e : entries) {
        WriteEntry(w, e);
    }
    return w.Take();
}

LoadReport DecodeBackupSet(std::string_view bytes, StationSettings& settings, EntryList& entries,
                           int64_t now) {
    LoadReport report;
    SetReader r(bytes, report);
    ReadHeader(r, settings, report);
    if (report.announcedEntries > kMaxEntries) {
        report.entriesDropped = true;
        char message[200];
        std::snprintf(message, sizeof message,
                      Tr("Der Sicherungssatz nennt %u Eintr\xC3\xA4ge (h\xC3\xB6"
                         "chstens 1023); er wird ohne "
                         "Eintr\xC3\xA4ge ge\xC3\xB6"
                         "ffnet."),
                      report.announcedEntries);
        report.warnings.emplace_back(message);
        return report;
    }
    for (uint32_t i = 0; i < report.announcedEntries && !r.AtEnd(); ++i) {
        entries.Append(ReadEntry(r, report.version, now));
    }
    if (entries.size() < report.announcedEntries && !report.truncated) {
        report.truncated = true;
        report.warnings.emplace_back(Tr(kEndsEarly));
    }
    if (!r.AtEnd()) {
        report.trailingBytes = true;
        report.warnings.emplace_back(Tr(kTrailingBytes));
    }
    return report;
}

std::optional<LoadReport> LoadBackupSet(Station& station, const std::filesystem::path& path, int64_t now) {
    const auto bytes = platform::ReadFileBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    station.entries.Clear();
    LoadReport report = DecodeBackupSet(*bytes, station.settings, station.entries, now);
    station.ApplyComPort();
    return report;
}

bool SaveBackupSet(const Station& station, const std::filesystem::path& path) {
    return platform::WriteFileReplacing(path, EncodeBackupSet(station.settings, station.entries));
}

}  // namespace vaultra::app
