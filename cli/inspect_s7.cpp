// `vaultra-cli inspect X.S7P`: the blocks read back from a STEP 7 project, system data blocks included.
#include <cstdio>
#include <ostream>
#include <string>
#include <system_error>

#include "app/text_catalogue.h"
#include "cli/inspect.h"
#include "cli/terminal_text.h"
#include "s7project/s7project.h"

namespace vaultra::cli {

using app::Tr;

namespace {

using s7project::BlockHeader;
using s7project::Timestamp;

// Block time stamps count milliseconds since midnight (4 bytes) and days since 1984-01-01 (2 bytes).
std::string FormatTimestamp(const Timestamp& t) {
    const std::uint32_t ms =
        (std::uint32_t{t[0]} << 24) | (std::uint32_t{t[1]} << 16) | (std::uint32_t{t[2]} << 8) | t[3];
    const int days = (t[4] << 8) | t[5];
    char text[40];
    if (ms >= 24U * 3600U * 1000U) {
        std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", t[0], t[1], t[2], t[3], t[4], t[5]);
        return text;
    }
    // civil date from a day count (days from 1970-01-01), proleptic Gregorian calendar
    const long z = days + 5113L + 719468L;  // 1984-01-01 is day 5113 after 1970-01-01
    const long era = z / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long day = doy - (153 * mp + 2) / 5 + 1;
    const long month = mp < 10 ? mp + 3 : mp - 9;
    const long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    std::snprintf(text, sizeof text, "%04ld-%02ld-%02ld %02u:%02u:%02u.%03u", year, month, day, ms / 3600000U,
                  ms / 60000U % 60U, ms / 1000U % 60U, ms % 1000U);
    return text;
}

std::string TypeName(std::uint8_t type) {
    const auto name = s7project::BlockTypeName(type);
    return name.empty() ? Format(Tr("Typ %u"), static_cast<unsigned>(type)) : std::string(name);
}

void PrintBlock(std::ostream& out, const BlockHeader& h) {
    char line[200];
    std::snprintf(line, sizeof line, "%-8s %6u %11u %6u %9u %10u  %-23s  %s\n", TypeName(h.type).c_str(),
                  static_cast<unsigned>(h.number), static_cast<unsigned>(h.loadLength),
                  static_cast<unsigned>(h.codeLength), static_cast<unsigned>(h.ssbLength),
                  static_cast<unsigned>(h.addLength), FormatTimestamp(h.timestamp1).c_str(),
                  FormatTimestamp(h.timestamp2).c_str());
    out << line;
}

bool IsRegularFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

// The path as given, or the project file inside the project folder that the given path names
// (LINE1.S7P stands for LINE1/LINE1.S7P, as the station stores it).
std::filesystem::path LocateProjectFile(const std::filesystem::path& path) {
    if (IsRegularFile(path)) {
        return path;
    }
    const auto inside = path.parent_path() / path.stem() / path.filename();
    return IsRegularFile(inside) ? inside : std::filesystem::path{};
}

}  // namespace

namespace {

void PrintProjectHead(std::ostream& out, const std::filesystem::path& projectFile,
                      const s7project::ProjectFolders& folders, const s7project::ProjectInfo& info) {
    const std::string sdb = folders.sdbFolder.empty() ? std::string(Tr("(keiner)")) : folders.sdbFolder;
    out << Format(Tr("STEP 7-Projekt %s"), Printable(projectFile.string()).c_str()) << '\n'
        << Format(Tr("Format %d, Programm \"%s\", Bausteinordner %s, Systemdatenordner %s"), info.format,
                  Printable(info.programName).c_str(), Printable(folders.offlineFolder).c_str(),
                  Printable(sdb).c_str())
        << '\n'
        << Tr("Typ      Nummer   Ladel\xC3\xA4nge   Code Schnittst Zus\xC3\xA4tzlich  Zeitstempel 1 (Code)   "
              "  "
              "Zeitstempel 2 (Schnittstelle)")
        << '\n';
}

}  // namespace

int InspectS7Project(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
    const auto projectFile = LocateProjectFile(path);
    if (projectFile.empty()) {
        err << "vaultra-cli: "
            << Format(Tr("STEP 7-Projekt nicht gefunden: %s"), Printable(path.string()).c_str()) << '\n';
        return 2;
    }
    s7project::BlockList blocks;
    s7project::ProjectFolders folders;
    s7project::ProjectInfo info;
    if (!s7project::ReadS7Project(projectFile, blocks, folders, &info)) {
        err << "vaultra-cli: "
            << Format(Tr("kein lesbares STEP 7-Projekt (%s): %s"), Printable(info.failure).c_str(),
                      Printable(projectFile.string()).c_str())
            << '\n';
        return 2;
    }
    PrintProjectHead(out, projectFile, folders, info);
    std::size_t listed = 0;
    for (const auto& image : blocks) {
        if (const auto h = s7project::ReadBlockHeader(image)) {
            PrintBlock(out, *h);
            ++listed;
        }
    }
    out << Format(listed == 1 ? Tr("%zu Baustein") : Tr("%zu Bausteine"), listed) << '\n';
    if (!info.deletedBlocks.empty()) {
        out << Tr("In der Steuerung vor der letzten Sicherung gel\xC3\xB6scht (im Projekt behalten, nie "
                  "zur\xC3\xBC"
                  "ckgeschrieben):")
            << '\n';
        for (const auto& image : info.deletedBlocks) {
            if (const auto h = s7project::ReadBlockHeader(image)) {
                PrintBlock(out, *h);
            }
        }
        out << Format(Tr("%zu gel\xC3\xB6schte Bausteine"), info.deletedBlocks.size()) << '\n';
    }
    const std::size_t damaged = info.unreadableBlocks + (blocks.size() - listed);
    if (damaged > 0) {
        out << Format(Tr("%zu besch\xC3\xA4"
                         "digte Baustein-Eintr\xC3\xA4ge nicht lesbar und nicht aufgef\xC3\xBChrt"),
                      damaged)
            << '\n';
    }
    // A script checks a backup by the exit status: anything unreadable is a failure.
    return damaged > 0 ? 1 : 0;
}

}  // namespace vaultra::cli
