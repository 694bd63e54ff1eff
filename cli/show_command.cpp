#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ostream>

#include "app/list_line.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/station_store.h"

namespace vaultra::cli {

namespace {

struct ShowOptions {
    std::string path;
    bool json = false;
};

std::string HexAddress(const std::array<uint8_t, 6>& a) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    return buffer;
}

const char* YesNo(uint32_t value) {
    return value != 0 ? "ja" : "nein";
}

nlohmann::ordered_json EntryJson(const app::CElement& e) {
    return {{"name", e.name},
            {"address", HexAddress(e.address)},
            {"password", e.password},
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

void PrintJson(Context& ctx, const app::Station& station) {
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
    for (const app::CElement& e : station.entries) {
        doc["entries"].push_back(EntryJson(e));
    }
    ctx.out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

void PrintText(Context& ctx, const app::Station& station) {
    const app::StationSettings& s = station.settings;
    ctx.out << "Schnittstelle: COM" << s.comPort << '\n'
            << "Adapter: " << s.adapterName << '\n'
            << "Verzeichnis: " << s.backupDirectory << '\n'
            << "Wiederholungsversuch alle " << s.retryMinutes << " min\n"
            << "AG stoppen zum Sichern/R\xC3\xBC"
               "cksichern: "
            << YesNo(s.stopPlc) << '\n'
            << "Keine SFC/SFB sichern bei S7: " << YesNo(s.skipSystemBlocks) << '\n'
            << "Kein Zur\xC3\xBC"
               "ckschreiben: "
            << YesNo(s.noWriteBack) << '\n'
            << '\n'
            << app::kListHeader << '\n';
    for (const app::CElement& e : station.entries) {
        ctx.out << app::ListLine(e, s) << '\n';
    }
}

int RunShow(Context& ctx, const ShowOptions& o) {
    app::Station station;
    if (!OpenSet(ctx, station, o.path)) {
        return kExitBadInput;
    }
    station.settings.adapterName = ReadAdapterName(ctx);
    if (o.json) {
        PrintJson(ctx, station);
    } else {
        PrintText(ctx, station);
    }
    return kExitOk;
}

}  // namespace

void RegisterShowCommand(Cli& cli) {
    auto* cmd =
        cli.app().add_subcommand("show", "Einstellungen und Eintr\xC3\xA4ge eines Sicherungssatzes zeigen");
    auto o = std::make_shared<ShowOptions>();
    cmd->add_option("SET", o->path, "Sicherungssatz (.INI)")->required();
    cmd->add_flag("--json", o->json, "alle Felder maschinenlesbar");
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunShow(ctx, *o); });
}

}  // namespace vaultra::cli
