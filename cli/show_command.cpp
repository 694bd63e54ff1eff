#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ostream>

#include "app/list_line.h"
#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/station_store.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct ShowOptions {
    std::string path;
    bool json = false;
    bool showPasswords = false;
};

constexpr const char* kMask = "********";

std::string ShownPassword(const std::string& password, bool clear) {
    return clear || password.empty() ? password : kMask;
}

std::string HexAddress(const std::array<uint8_t, 6>& a) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    return buffer;
}

const char* YesNo(uint32_t value) {
    return Tr(value != 0 ? "ja" : "nein");
}

nlohmann::ordered_json EntryJson(std::size_t index, const app::CElement& e, bool showPasswords) {
    return {{"index", index},
            {"name", e.name},
            {"address", HexAddress(e.address)},
            {"password", ShownPassword(e.password, showPasswords)},
            {"flags", e.flags},
            {"day", e.day},
            {"hour", e.hour},
            {"minute", e.minute},
            {"fileName", e.fileName},
            {"blockList", e.blockList},
            {"nextBackup", e.nextBackup},
            {"triggerInterval", e.triggerInterval},
            {"backupBit", e.backupBit},
            {"restoreBit", e.restoreBit},
            {"nameOperand", e.nameOperand},
            {"interface", app::InterfaceLabel(app::InterfaceOf(e))},
            {"intervalKind", app::IntervalKindName(e.IntervalKindValue())}};
}

void PrintJson(Context& ctx, const app::Station& station, bool showPasswords) {
    const app::StationSettings& s = station.settings;
    nlohmann::ordered_json doc;
    doc["station"] = {{"comPort", s.comPort},
                      {"backupDirectory", s.backupDirectory},
                      {"retryMinutes", s.retryMinutes},
                      {"stopPlc", s.stopPlc},
                      {"skipSystemBlocks", s.skipSystemBlocks},
                      {"noWriteBack", s.noWriteBack},
                      {"adapterName", s.adapterName}};
    doc["entries"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < station.entries.size(); ++i) {
        doc["entries"].push_back(EntryJson(i, station.entries[i], showPasswords));
    }
    ctx.out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// The list line with the index in front, the whole name (the list cuts it at 30 characters) and the
// password masked unless asked for.
std::string EntryLine(std::size_t index, const app::CElement& e, const app::StationSettings& s,
                      bool showPasswords) {
    app::CElement shown = e;
    shown.name.clear();
    if (!showPasswords && !e.password.empty()) {
        shown.password = kMask;
    }
    const std::string line = app::ListLine(shown, s);
    const std::size_t tab = line.find('\t');
    return Format("%zu\t%-40s", index, e.name.c_str()) + (tab == std::string::npos ? "" : line.substr(tab));
}

void PrintText(Context& ctx, const app::Station& station, bool showPasswords) {
    const app::StationSettings& s = station.settings;
    ctx.out << Printable(Tr("Schnittstelle: COM") + std::to_string(s.comPort)) << '\n'
            << Printable(Tr("Adapter: ") + s.adapterName) << '\n'
            << Printable(Tr("Verzeichnis: ") + s.backupDirectory) << '\n'
            << Format(Tr("Wiederholungsversuch alle %u min"), s.retryMinutes) << '\n'
            << Tr("AG stoppen zum Sichern/R\xC3\xBC"
                  "cksichern: ")
            << YesNo(s.stopPlc) << '\n'
            << Tr("Keine SFC/SFB sichern bei S7: ") << YesNo(s.skipSystemBlocks) << '\n'
            << Tr("Kein Zur\xC3\xBC"
                  "ckschreiben: ")
            << YesNo(s.noWriteBack) << '\n'
            << '\n'
            << Tr("Nr") << '\t' << Tr(std::string(app::kListHeader)) << '\n';
    for (std::size_t i = 0; i < station.entries.size(); ++i) {
        ctx.out << Printable(EntryLine(i, station.entries[i], s, showPasswords)) << '\n';
    }
}

int RunShow(Context& ctx, const ShowOptions& o) {
    app::Station station;
    if (!OpenSet(ctx, station, o.path)) {
        return kExitBadInput;
    }
    station.settings.adapterName = ReadAdapterName(ctx);
    if (o.json) {
        PrintJson(ctx, station, o.showPasswords);
    } else {
        PrintText(ctx, station, o.showPasswords);
    }
    return kExitOk;
}

}  // namespace

void RegisterShowCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand(
        "show", Tr("Einstellungen und Eintr\xC3\xA4ge eines Sicherungssatzes zeigen"));
    auto o = std::make_shared<ShowOptions>();
    cmd->add_option("SET", o->path, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_flag("--json", o->json, Tr("alle Felder maschinenlesbar"));
    cmd->add_flag("--show-passwords", o->showPasswords,
                  Tr("Passw\xC3\xB6rter im Klartext zeigen (sonst ********)"));
    cmd->footer(StationHelpFooter());
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunShow(ctx, *o); });
}

}  // namespace vaultra::cli
